#include "front/dialogue.hpp"

#include "project/version.hpp"

#include <unistd.h>
#include <iostream>

namespace console {

namespace {
constexpr std::string_view rule_line = "\t*******************************************************";
}

Meter::Meter(std::ostream& out, Clock clock, Display display) : out_(&out), clock_(std::move(clock)) {
    switch (display) {
    case Display::terminal:
        terminal_ = true;
        break;
    case Display::transcript:
        break;
    case Display::detect:
        terminal_ = (&out == &std::cout && ::isatty(STDOUT_FILENO) == 1) ||
                    (&out == &std::cerr && ::isatty(STDERR_FILENO) == 1);
        break;
    }
}

void Meter::begin(std::string_view label) {
    if (out_ == nullptr) {
        return;
    }
    *out_ << '\n' << label << 0 << '%' << std::flush;
    last_flush_ = clock_();
    pending_percent_ = -1;
}

void Meter::draw(std::string_view label, std::int64_t percent) { *out_ << '\r' << label << percent << '%'; }

void Meter::step(std::string_view label, std::int64_t percent) {
    if (out_ == nullptr) {
        return;
    }
    const auto now = clock_();
    const bool due = percent == 100 || now - last_flush_ >= redraw_interval;
    if (terminal_ && !due) {
        pending_label_ = label;
        pending_percent_ = percent;
        return;
    }
    draw(label, percent);
    pending_percent_ = -1;
    if (due) {
        out_->flush();
        last_flush_ = now;
    }
}

void Meter::end_line() {
    if (out_ != nullptr) {
        if (pending_percent_ >= 0) {
            draw(pending_label_, pending_percent_);
            pending_percent_ = -1;
        }
        *out_ << '\n';
    }
}

Console::Console(std::istream& in, std::ostream& out, Meter::Clock clock)
    : in_(in), out_(out), meter_(out, std::move(clock)) {}

void Console::print_banner(std::string_view title_line) {
    out_ << '\n'
         << rule_line << '\n'
         << title_line << '\n'
         << rule_line << '\n'
         << "For latest updates and help, please visit " << project::homepage << '\n';
}

std::string Console::prompt_file_name(std::string_view prompt) {
    out_ << '\n' << prompt << std::flush;
    std::string name;
    if (!(in_ >> name)) {
        name.clear();
    }
    return name;
}

void Console::report_abort(std::string_view message) { out_ << '\n' << message << '\n' << std::flush; }

bool Console::confirm_continue(std::string_view missing_line) {
    out_ << '\n' << missing_line << '\n' << "Continue (y//n)? " << std::flush;
    char answer = 0;
    if (!(in_ >> answer)) {
        return false;
    }
    return answer == 'y' || answer == 'Y';
}

}  // namespace console
