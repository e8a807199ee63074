#include "front/dialogue.hpp"

#include "project/version.hpp"

#include <istream>
#include <ostream>

namespace console {

namespace {
constexpr std::string_view rule_line = "\t*******************************************************";
}

std::int64_t percentage(std::int64_t done, std::int64_t total) {
    return done * 100 / total;
}

void Meter::begin(std::string_view label) {
    if (out_ == nullptr) {
        return;
    }
    *out_ << '\n' << label << 0 << '%' << std::flush;
    last_flush_ = clock_();
}

void Meter::step(std::string_view label, std::int64_t percent) {
    if (out_ == nullptr) {
        return;
    }
    *out_ << '\r' << label << percent << '%';
    const auto now = clock_();
    if (percent == 100 || now - last_flush_ >= redraw_interval) {
        out_->flush();
        last_flush_ = now;
    }
}

void Meter::end_line() {
    if (out_ != nullptr) {
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

void Console::report_abort(std::string_view message) {
    out_ << '\n' << message << '\n' << std::flush;
}

bool Console::confirm_continue(std::string_view missing_line) {
    out_ << '\n' << missing_line << '\n' << "Continue (y//n)? " << std::flush;
    char answer = 0;
    if (!(in_ >> answer)) {
        return false;
    }
    return answer == 'y' || answer == 'Y';
}

}  // namespace console
