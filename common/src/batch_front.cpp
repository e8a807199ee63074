#include "batch.hpp"

#include <ostream>
#include <unistd.h>

namespace session {

namespace {

// The counts -v shows, each after the program's name.
constexpr std::array<std::string_view, count_kinds> count_names = {
    "list entries", "matrix order", "records read", "found", "missing", "written"};

}  // namespace

BatchFront::BatchFront(const Program& program, const BatchOptions& options, std::ostream& err, io::TempFiles& temps)
    : program_(program),
      options_(options),
      err_(err),
      temps_(temps),
      meter_(!options.quiet && ::isatty(STDERR_FILENO) == 1 ? console::Meter(err) : console::Meter()) {}

const std::string& BatchFront::path_of(Role role) const {
    switch (role) {
    case Role::list:
        return options_.list;
    case Role::input:
        return options_.input;
    case Role::output:
        return options_.output;
    case Role::sample:
        break;
    }
    return options_.sample;
}

std::ostream& BatchFront::say() { return err_ << program_.name << ": "; }

io::InputFile BatchFront::open_input(Role role) {
    const std::string& path = path_of(role);
    if (path == "-") {
        return io::InputFile::standard_input();
    }
    std::optional<io::IoError> error;
    return opened_or_abort(io::InputFile::open(path, &error), error, Failure::cannot_open_input);
}

bool BatchFront::wants_output(Role role) const { return !path_of(role).empty(); }

io::OutputFile BatchFront::create_output(Role role) {
    std::optional<io::IoError> error;
    io::OutputFile file =
        opened_or_abort(io::OutputFile::replace(path_of(role), temps_, &error), error, Failure::cannot_create_output);
    file.compress_as_named();
    return file;
}

void BatchFront::show_count(Count what, std::int64_t count) {
    if (options_.verbose) {
        say() << count_names[static_cast<std::size_t>(what)] << ": " << count << '\n';
    }
}

bool BatchFront::go_on_without(std::string_view name) {
    say() << (options_.allow_missing ? "warning: " : "") << io::quoted(name) << " not found in "
          << io::file_label(options_.input, false) << '\n';
    return true;  // every missing name is told before the run decides
}

bool BatchFront::accept_missing(std::size_t missing) { return missing == 0 || options_.allow_missing; }

void BatchFront::input_cut_short(const std::string& detail) { throw Abort{Failure::unreadable_input, detail}; }

void BatchFront::report(const Abort& abort) { say() << abort.detail << '\n' << std::flush; }

}  // namespace session
