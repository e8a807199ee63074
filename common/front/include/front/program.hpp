// What a program hands the shared front end: its name and texts, its files, its own batch
// options and its two ways to run. Nothing here knows which program it serves.
#pragma once

#include "front/session.hpp"
#include "io/compression.hpp"

#include <cstdint>
#include <iosfwd>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace CLI {
class App;
}

namespace session {

// The options every batch run has, and the path given for each of the program's files.
struct BatchOptions {
    // One entry per file named, in the order given; an entry "" for a role not named at all.
    std::vector<std::pair<const FileRole*, std::string>> paths;
    bool allow_missing = false;
    bool quiet = false;
    bool verbose = false;
    // The program's mode of its own was asked for (its option given), with these files.
    bool files_mode = false;
    std::vector<std::string> mode_files;
    // Outputs: standard output's compression (named outputs follow their names), the level,
    // and the threads compressing and reading may take (none: the CPUs the process may use).
    std::string compress = "none";
    std::optional<std::uint32_t> level;
    std::optional<std::uint32_t> threads;
    // The list's lines are fields: the N-th (from 1) of each line is the name; 0 takes the line
    // (or its words) as the program reads a list.
    std::uint32_t list_column = 0;

    // How an output named `path` is compressed.
    io::CompressionChoice compression_for(const std::string& path) const;

    // The first path named for `role` ("" where none was).
    const std::string& path_of(const FileRole& role) const;
    // Every path named for `role`, in order; none where it was not named.
    std::vector<std::string> paths_of(const FileRole& role) const;
};

// Where a program declares its own batch options, bound to its own fields.
class OptionSet {
public:
    explicit OptionSet(CLI::App& app) : app_(app) {}

    // "--quiet": a flag.
    void flag(std::string_view names, bool& value, std::string_view help);
    // "--input-format F": one of `choices`.
    void choice(std::string_view names, std::string& value, std::string_view value_name,
                const std::vector<std::string>& choices, std::string_view help);

    // "--dataset N": a whole number from 1; 0 stays where it is not given.
    void number(std::string_view names, std::uint32_t& value, std::string_view value_name, std::string_view help);
    // "--decimals N": a whole number from `least` to `most`; none where it is not given.
    void number(std::string_view names, std::optional<std::uint32_t>& value, std::string_view value_name,
                std::string_view help, std::uint32_t least, std::uint32_t most);

    // "--region TEXT", given again for each further value, kept in the order given.
    void texts(std::string_view names, std::vector<std::string>& values, std::string_view value_name,
               std::string_view help);

    // The declared options as the usage line shows them: " [--quiet]".
    const std::string& usage() const { return usage_; }
    // The values a choice option takes, by its first name as CLI11 gives it ("--match").
    const std::vector<std::pair<std::string, std::vector<std::string>>>& choices() const { return choices_; }
    // The options taking free text, by their first name.
    const std::vector<std::string>& text_options() const { return texts_; }

private:
    CLI::App& app_;
    std::string usage_;
    std::vector<std::pair<std::string, std::vector<std::string>>> choices_;
    std::vector<std::string> texts_;
};

// A program's batch mode: its own options, the rules between them, and its run.
class BatchProgram {
public:
    virtual ~BatchProgram() = default;
    virtual void declare_options(OptionSet& options) = 0;
    // Why these options cannot go together, when they cannot (a usage error).
    virtual std::optional<std::string> misuse(const BatchOptions&) const { return std::nullopt; }
    virtual Outcome run(Front& front, const BatchOptions& options) = 0;
};

// Options that go together however they are given.
template <typename Options>
std::optional<std::string> no_rules(const BatchOptions&, const Options&) {
    return std::nullopt;
}

// The usual BatchProgram: a program's own `Options`, bound by `declare`, checked by `check`
// (why they cannot go together, if they cannot) and run by `run`.
template <typename Options, void (*declare)(OptionSet&, Options&),
          Outcome (*run_with)(Front&, const BatchOptions&, const Options&),
          std::optional<std::string> (*check)(const BatchOptions&, const Options&) = no_rules<Options>>
class BatchModeOf final : public BatchProgram {
public:
    void declare_options(OptionSet& options) override { declare(options, options_); }
    std::optional<std::string> misuse(const BatchOptions& common) const override { return check(common, options_); }
    Outcome run(Front& front, const BatchOptions& common) override { return run_with(front, common, options_); }

private:
    Options options_;
};

// A mode of its own beside extraction that takes only files, as `--index FILE...` does: no list
// and no output go with it, and each file is worked on in turn.
struct FilesMode {
    std::string_view option;      // "--index"
    std::string_view value_name;  // "FILE"
    std::string_view help;
    std::string_view options;  // the program's own options that go with it, for the usage line
};

struct Program {
    std::string_view name;
    std::string_view summary;
    std::string_view examples;               // the help's closing text
    std::span<const FileRole* const> files;  // in the order the help lists them
    const FileRole* input;                   // the file whose missing names are said to be missing from it
    Outcome (*dialogue)(std::istream& in, std::ostream& out);
    const FilesMode* files_mode = nullptr;  // none for a program without one
};

// The options of a command line, or the exit status to end with at once (0 after --help or
// --version, 2 after a usage error, each already printed).
struct ParsedCommandLine {
    std::optional<BatchOptions> options;
    int exit_status = 0;
};
ParsedCommandLine parse_command_line(const Program& program, BatchProgram& batch,
                                     const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err);

// Every option of a program's command line, as its definitions give it: for the shells'
// completions and the fuzz target's vocabulary, made from the one definition so neither can
// fall behind.
struct OptionInfo {
    enum class Value { none, file, choice, number, text };
    std::vector<std::string> names;  // "-l", "--list"
    Value value = Value::none;
    std::string value_name;            // "LIST"
    std::vector<std::string> choices;  // a choice's values
    std::string help;
    bool repeatable = false;       // given again for each further file
    bool with_files_mode = false;  // goes with the files mode (--index)
    bool is_files_mode = false;    // the files mode itself
    bool ends_the_run = false;     // --help, --version
};
std::vector<OptionInfo> list_options(const Program& program, BatchProgram& batch);

// The line that closes every usage error: "Try 'orvane --help' for more information."
std::string help_hint(std::string_view program_name);

// The whole program: the dialogue without arguments (exit status 0 on every way out), batch
// mode with them (0 done, 1 failed, 2 a usage error).
int program_main(int argc, char** argv, const Program& program, BatchProgram& batch);

}  // namespace session
