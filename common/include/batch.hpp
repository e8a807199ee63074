// Batch mode: a run driven by the command line, as scripts and pipelines use the tools. Any
// argument selects it; a program started without arguments holds the dialogue.
#pragma once

#include "session.hpp"

#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace session {

struct BatchOptions {
    std::string list;
    std::string input;
    std::string output;
    std::string sample;  // orvane only; empty: no sample file
    bool allow_missing = false;
    bool exact = false;  // talmiro only
    std::string input_format = "auto";  // orvane only: auto, square, lower, tsv, csv
    std::string output_format;          // orvane only; empty: the input's
    bool quiet = false;
    bool verbose = false;
};

// What main needs to know of a program: its name and help texts, and its two ways to run.
struct Program {
    std::string_view name;
    std::string_view version;
    std::string_view summary;
    std::string_view input_name;  // "MATRIX", "FASTA"
    std::string_view input_help;
    std::string_view output_help;
    std::string_view sample_help;  // empty: the program has no sample output
    std::string_view exact_help;   // empty: the program has no --exact
    bool has_layouts = false;      // --input-format and --output-format
    std::string_view examples;
    Outcome (*dialogue)(std::istream& in, std::ostream& out);
    Outcome (*batch)(Front& front, const BatchOptions& options);
};

// The options of a command line, or the exit status to end with at once (0 after --help or
// --version, 2 after a usage error, each already printed).
struct ParsedCommandLine {
    std::optional<BatchOptions> options;
    int exit_status = 0;
};
ParsedCommandLine parse_command_line(const Program& program, const std::vector<std::string>& arguments,
                                     std::ostream& out, std::ostream& err);

// Answers a run from the command line: files by the names given ("-" for the standard streams),
// outputs replaced whole only once written, counts on standard error with -v, the meter on
// standard error when it is a terminal, and each missing name and failure as one line there.
class BatchFront final : public Front {
public:
    BatchFront(const Program& program, const BatchOptions& options, std::ostream& err, io::TempFiles& temps);

    void start() override {}
    io::InputFile open_input(Role role) override;
    bool wants_output(Role role) const override;
    io::OutputFile create_output(Role role) override;
    void show_count(Count what, std::int64_t count) override;
    console::Meter& meter() override { return meter_; }
    bool go_on_without(std::string_view name) override;
    bool accept_missing(std::size_t missing) override;
    void input_cut_short(const std::string& detail) override;
    void report(const Abort& abort) override;
    void finish() override {}

private:
    const std::string& path_of(Role role) const;
    std::ostream& say();  // starts a line on standard error with the program's name

    const Program& program_;
    const BatchOptions& options_;
    std::ostream& err_;
    io::TempFiles& temps_;
    console::Meter meter_;
};

// The whole program: the dialogue without arguments (exit status 0 on every way out), batch
// mode with them (0 done, 1 failed, 2 a usage error).
int program_main(int argc, char** argv, const Program& program);

}  // namespace session
