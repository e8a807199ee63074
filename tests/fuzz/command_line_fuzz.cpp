// Random argument lists for both programs, built from a vocabulary of their options and values
// (read from the programs' own option definitions, so a new option is fuzzed from the day it is
// declared) and from raw bytes: the parse ends in 0 (help, version), in 2 with the usage error said on
// standard error, or in options; options that name only files of the scratch folder are then run
// in batch mode, which ends done or failed. Never a crash, never another status.
#include "front/batch_front.hpp"
#include "fuzz_support.hpp"
#include "orvane/app/program.hpp"
#include "orvane/app/run.hpp"
#include "talmiro/app/program.hpp"
#include "talmiro/app/run.hpp"

#include <memory>
#include <sstream>

namespace {

// Every spelling of the program's options, each choice's values, joined forms and files of the
// scratch folder.
std::vector<std::string> vocabulary_of(const session::Program& program, session::BatchProgram& batch) {
    std::vector<std::string> words = {"--", "-",   "",    "list",   "input",       "out", "out.gz", "sample",
                                      "=",  "-qv", "-lq", "-ilist", "--list=list", "1",   "0",      "2"};
    for (const session::OptionInfo& option : session::list_options(program, batch)) {
        for (const std::string& name : option.names) {
            words.push_back(name);
            for (const std::string& choice : option.choices) {
                words.push_back(choice);
                if (name.starts_with("--")) {
                    words.push_back(name + "=" + choice);
                }
            }
        }
    }
    return words;
}

bool inside_scratch(const std::string& path) {
    return path != "-" && path.find('/') == std::string::npos && path != "." && path != "..";
}

// Every path a plain name inside the scratch folder, the files mode's too: nothing else may be
// written or read.
bool stays_in_scratch(const session::BatchOptions& options) {
    for (const auto& [role, path] : options.paths) {
        if (!inside_scratch(path)) {
            return false;
        }
    }
    for (const std::string& path : options.mode_files) {
        if (!inside_scratch(path)) {
            return false;
        }
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzzing::Pieces parts(data, size);
    const bool orvane = parts.take_byte() % 2 == 0;
    std::unique_ptr<session::BatchProgram> batch;
    if (orvane) {
        batch = std::make_unique<orvane::BatchMode>();
    } else {
        batch = std::make_unique<talmiro::BatchMode>();
    }
    const session::Program& program = orvane ? orvane::program() : talmiro::program();
    static const std::vector<std::string> orvane_words = [] {
        orvane::BatchMode mode;
        return vocabulary_of(orvane::program(), mode);
    }();
    static const std::vector<std::string> talmiro_words = [] {
        talmiro::BatchMode mode;
        return vocabulary_of(talmiro::program(), mode);
    }();
    const std::vector<std::string>& vocabulary = orvane ? orvane_words : talmiro_words;
    std::vector<std::string> arguments;
    for (std::size_t words = parts.take_byte() % 12; words > 0; --words) {
        const std::uint8_t pick = parts.take_byte();
        if (pick < 200) {
            arguments.push_back(vocabulary[pick % vocabulary.size()]);
        } else {
            arguments.push_back(parts.take_part().substr(0, 40));
        }
    }
    std::ostringstream out;
    std::ostringstream err;
    const session::ParsedCommandLine parsed = session::parse_command_line(program, *batch, arguments, out, err);
    if (!parsed.options) {
        fuzzing::require(parsed.exit_status == 0 || parsed.exit_status == 2, "help, version or a usage error");
        if (parsed.exit_status == 2) {
            fuzzing::require(err.str().starts_with(std::string(program.name) + ": ") &&
                                 fuzzing::ends_with(err.str(), " --help' for more information.\n"),
                             "a usage error is said with the program's name and a pointer to --help");
        } else {
            fuzzing::require(!out.str().empty() && err.str().empty(), "help and version go to standard output");
        }
        return 0;
    }
    fuzzing::require(parsed.exit_status == 0 && err.str().empty(), "options parse without a word");
    if (!stays_in_scratch(*parsed.options)) {
        return 0;
    }
    const fuzzing::InScratchFolder scratch;
    fuzzing::write_whole("list", "P\nQ\n");
    fuzzing::write_whole("input", orvane ? "2\nP 0 1\nQ 1 0\n" : ">P\nAC\n>Q\nGT\n");
    io::TempFiles temps;
    session::BatchFront front(program, *parsed.options, err, temps);
    const session::Outcome outcome = batch->run(front, *parsed.options);
    fuzzing::require(outcome == session::Outcome::done || !err.str().empty(), "a failed run says why");
    return 0;
}
