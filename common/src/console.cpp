#include "console.hpp"

#include <istream>
#include <new>
#include <ostream>

#ifndef PROJECT_HOMEPAGE
#error "PROJECT_HOMEPAGE must be defined by the build"
#endif

namespace console {

namespace {
constexpr std::string_view rule_line = "\t*******************************************************";
}

std::int64_t percentage(std::int64_t done, std::int64_t total) {
    return done * 100 / total;
}

Console::Console(std::istream& in, std::ostream& out) : in_(in), out_(out) {}

void Console::print_banner(std::string_view title_line) {
    out_ << '\n'
         << rule_line << '\n'
         << title_line << '\n'
         << rule_line << '\n'
         << "For latest updates and help, please visit " << PROJECT_HOMEPAGE << '\n';
}

std::string Console::prompt_file_name(std::string_view prompt) {
    out_ << '\n' << prompt << std::flush;
    std::string name;
    if (!(in_ >> name)) {
        name.clear();
    }
    return name;
}

InputFile Console::open_input_file(std::string_view prompt, std::string_view abort_message) {
    std::optional<InputFile> file = InputFile::open(prompt_file_name(prompt));
    if (!file) {
        throw Abort{abort_message};
    }
    return std::move(*file);
}

OutputFile Console::create_output_file(std::string_view prompt, std::string_view abort_message) {
    std::optional<OutputFile> file = OutputFile::create(prompt_file_name(prompt));
    if (!file) {
        throw Abort{abort_message};
    }
    return std::move(*file);
}

void run_session(std::istream& in, std::ostream& out, std::string_view memory_message,
                 const std::function<void(Console&)>& steps) {
    Console console(in, out);
    try {
        steps(console);
    } catch (const Abort& abort) {
        console.report_abort(abort.message);
    } catch (const std::bad_alloc&) {
        // Beyond the tables each step sizes and checks itself, only an absurdly long line or
        // token, or more taken records than memory holds, can get here.
        console.report_abort(memory_message);
    }
    out.flush();
}

void Console::report_abort(std::string_view message) {
    out_ << '\n' << message << '\n' << std::flush;
}

void Console::progress_begin(std::string_view label) {
    out_ << '\n' << label << 0 << '%' << std::flush;
    last_flush_ = std::chrono::steady_clock::now();
}

void Console::progress_step(std::string_view label, std::int64_t percent) {
    out_ << '\r' << label << percent << '%';
    const auto now = std::chrono::steady_clock::now();
    if (percent == 100 || now - last_flush_ >= redraw_interval) {
        out_.flush();
        last_flush_ = now;
    }
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
