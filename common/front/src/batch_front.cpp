#include "front/batch_front.hpp"

#include "text/quoting.hpp"

#include <unistd.h>
#include <ostream>

namespace session {

BatchFront::BatchFront(const Program& program, const BatchOptions& options, std::ostream& err, io::TempFiles& temps,
                       StandardStreams streams)
    : program_(program),
      options_(options),
      err_(err),
      temps_(temps),
      streams_(streams),
      meter_(!options.quiet && ::isatty(STDERR_FILENO) == 1 ? console::Meter(err) : console::Meter()) {}

std::ostream& BatchFront::say() { return err_ << program_.name << ": "; }

io::InputFile BatchFront::open_input(const FileRole& role, std::size_t nth) {
    const std::string path = options_.paths_of(role).at(nth);
    if (path == "-") {
        if (streams_.input_closed) {
            throw Abort{Failure::cannot_open_input, "standard input is closed"};
        }
        return io::InputFile::standard_input();
    }
    std::optional<io::IoError> error;
    return opened_or_abort(io::InputFile::open(path, &error), error, Failure::cannot_open_input);
}

bool BatchFront::wants_output(const FileRole& role) const { return !options_.path_of(role).empty(); }

io::OutputFile BatchFront::create_output(const FileRole& role, std::size_t nth) {
    const std::string path = options_.paths_of(role).at(nth);
    if (path == "-" && streams_.output_closed) {
        throw Abort{Failure::cannot_create_output, "standard output is closed"};
    }
    std::optional<io::IoError> error;
    io::OutputFile file =
        opened_or_abort(io::OutputFile::replace(path, temps_, &error), error, Failure::cannot_create_output);
    file.compress(options_.compression_for(path));
    return file;
}

io::OutputFile BatchFront::create_named_output(const std::string& path) {
    std::optional<io::IoError> error;
    return opened_or_abort(io::OutputFile::replace_regular(path, temps_, &error), error, Failure::cannot_create_output);
}

void BatchFront::show_count(const CountKind& what, std::int64_t count) {
    if (options_.verbose) {
        say() << what.name << ": " << count << '\n';
    }
}

std::string BatchFront::looked_in(std::string_view part) const {
    std::string where = "in ";
    if (!part.empty()) {
        where += std::string(part) + " of ";
    }
    const std::vector<std::string> inputs = options_.paths_of(*program_.input);
    for (std::size_t nth = 0; nth < inputs.size(); ++nth) {
        where += (nth == 0 ? "" : " or ") + text::file_label(inputs[nth], false);
    }
    return where;
}

bool BatchFront::go_on_without(std::string_view name, std::string_view part) {
    const std::string where = looked_in(part);
    const auto [at, added] = missing_at_.try_emplace(where + '\n' + std::string(name), missing_.size());
    if (added) {
        missing_.push_back({std::string(name), where, 0});
    }
    ++missing_[at->second].listed;
    return true;  // every missing name is told before the run decides
}

bool BatchFront::accept_missing(std::size_t missing) {
    // A long list of names the input lacks says little more after its first lines than their
    // number: a wrong input or list, most likely.
    constexpr std::size_t most_told = 20;
    const char* const kind = options_.allow_missing ? "warning: " : "";
    for (std::size_t at = 0; at < std::min(missing_.size(), most_told); ++at) {
        const Missing& name = missing_[at];
        say() << kind << text::quoted(name.name) << " not found " << name.where;
        if (name.listed > 1) {
            err_ << " (listed " << name.listed << " times)";
        }
        err_ << '\n';
    }
    if (missing_.size() > most_told) {
        say() << kind << (missing_.size() - most_told) << " more listed names not found " << missing_.back().where
              << '\n';
    }
    missing_.clear();
    missing_at_.clear();
    return missing == 0 || options_.allow_missing;
}

void BatchFront::input_cut_short(const io::IoError& error) { throw Abort{Failure::unreadable_input, error.describe()}; }

void BatchFront::warn(std::string_view what) { say() << "warning: " << what << '\n'; }

void BatchFront::note(std::string_view what) {
    if (options_.verbose) {
        say() << what << '\n';
    }
}

void BatchFront::report(const Abort& abort) {
    say() << abort.detail << '\n';
    if (abort.misuse) {
        err_ << help_hint(program_.name);
    }
    err_ << std::flush;
}

}  // namespace session
