// Batch mode's front: a run driven by the command line, as scripts and pipelines use the tools.
#pragma once

#include "front/program.hpp"
#include "io/temp_files.hpp"

#include <iosfwd>
#include <string>
#include <unordered_map>
#include <vector>

namespace session {

// Which standard streams the program found closed at its start (and put on /dev/null).
struct StandardStreams {
    bool input_closed = false;
    bool output_closed = false;
    bool error_closed = false;
};

// Answers a run from the command line: files by the names given ("-" for the standard streams),
// outputs replaced whole only once written, counts on standard error with -v, the meter on
// standard error when it is a terminal, and each missing name and failure as one line there.
class BatchFront final : public Front {
public:
    BatchFront(const Program& program, const BatchOptions& options, std::ostream& err, io::TempFiles& temps,
               StandardStreams streams = {});

    void start() override {}
    using Front::create_output;
    using Front::open_input;
    std::size_t files_named(const FileRole& role) const override { return options_.paths_of(role).size(); }
    io::InputFile open_input(const FileRole& role, std::size_t nth) override;
    bool wants_output(const FileRole& role) const override;
    io::OutputFile create_output(const FileRole& role, std::size_t nth) override;
    io::OutputFile create_named_output(const std::string& path) override;
    void show_count(const CountKind& what, std::int64_t count) override;
    console::Meter& meter() override { return meter_; }
    bool go_on_without(std::string_view name, std::string_view part) override;
    bool accept_missing(std::size_t missing) override;
    void input_cut_short(const io::IoError& error) override;
    void warn(std::string_view what) override;
    void note(std::string_view what) override;
    void report(const Abort& abort) override;
    void finish() override {}

private:
    std::ostream& say();  // starts a line on standard error with the program's name
    // Where a missing name was looked for: "in 'a.fq' or 'b.fq'", and the part, if any.
    std::string looked_in(std::string_view part) const;

    // The missing names of one look, each once with how often it is listed, told together
    // when the run decides on them.
    struct Missing {
        std::string name;
        std::string where;
        std::size_t listed = 0;
    };
    std::vector<Missing> missing_;
    std::unordered_map<std::string, std::size_t> missing_at_;

    const Program& program_;
    const BatchOptions& options_;
    std::ostream& err_;
    io::TempFiles& temps_;
    StandardStreams streams_;
    console::Meter meter_;
};

}  // namespace session
