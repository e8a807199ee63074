#include "batch.hpp"

#include <CLI/CLI.hpp>

#include <csignal>
#include <iostream>

namespace session {

namespace {

std::string usage_line(const Program& program) {
    std::string usage = std::string(program.name) + " -l LIST -i " + std::string(program.input_name) + " -o OUTPUT";
    if (!program.sample_help.empty()) {
        usage += " [-s SAMPLE]";
    }
    usage += " [--allow-missing]";
    if (!program.exact_help.empty()) {
        usage += " [--exact]";
    }
    if (program.has_layouts) {
        usage += " [--input-format F] [--output-format F]";
    }
    return usage + " [-q | -v]";
}

// CLI11 builds a generic usage line; ours names the options and the dialogue's form too.
class UsageFormatter final : public CLI::Formatter {
public:
    explicit UsageFormatter(std::string usage) : usage_(std::move(usage)) {}
    std::string make_usage(const CLI::App*, std::string) const override { return usage_; }

private:
    std::string usage_;
};

void describe_options(CLI::App& app, const Program& program, BatchOptions& options) {
    app.add_option("-l,--list", options.list, "the list file of names, in the order wanted (- for standard input)")
        ->option_text("LIST");
    app.add_option("-i,--input", options.input, std::string(program.input_help))
        ->option_text(std::string(program.input_name));
    app.add_option("-o,--output", options.output, std::string(program.output_help))
        ->option_text("OUTPUT");
    if (!program.sample_help.empty()) {
        app.add_option("-s,--sample", options.sample, std::string(program.sample_help))->option_text("SAMPLE");
    }
    app.add_flag("--allow-missing", options.allow_missing,
                 "warn about listed names the input lacks and write the rest (default: fail)");
    if (!program.exact_help.empty()) {
        app.add_flag("--exact", options.exact, std::string(program.exact_help));
    }
    if (program.has_layouts) {
        app.add_option("--input-format", options.input_format,
                       "the input's layout: auto (default: told from the first lines), square, lower, tsv, csv")
            ->option_text("F")
            ->check(CLI::IsMember({"auto", "square", "lower", "tsv", "csv"}));
        app.add_option("--output-format", options.output_format,
                       "the output's layout: square, lower, tsv, csv (default: the input's)")
            ->option_text("F")
            ->check(CLI::IsMember({"square", "lower", "tsv", "csv"}));
    }
    app.add_flag("-q,--quiet", options.quiet, "draw no meter on a terminal");
    app.add_flag("-v,--verbose", options.verbose, "show the counts on standard error");
}

// What the parser leaves to us: arguments it did not know (told first, as the likeliest slip),
// the options every run needs, and the rules between options.
std::optional<std::string> misuse(const CLI::App& app, const BatchOptions& options) {
    for (const std::string& argument : app.remaining()) {
        return (argument.size() > 1 && argument.front() == '-' ? "unknown option " : "unexpected argument ") +
               io::quoted(argument);
    }
    for (const auto& [value, option] : {std::pair{&options.list, "--list"}, {&options.input, "--input"},
                                        {&options.output, "--output"}}) {
        if (value->empty()) {
            return std::string(option) + " is required";
        }
    }
    if (options.quiet && options.verbose) {
        return "--quiet and --verbose exclude each other";
    }
    // Only one input can come from standard input, and only one output can go to standard output.
    if (options.list == "-" && options.input == "-") {
        return "only one of --list and --input can be standard input (-)";
    }
    if (options.output == "-" && options.sample == "-") {
        return "only one of --output and --sample can be standard output (-)";
    }
    return std::nullopt;
}

}  // namespace

ParsedCommandLine parse_command_line(const Program& program, const std::vector<std::string>& arguments,
                                     std::ostream& out, std::ostream& err) {
    BatchOptions options;
    CLI::App app(std::string(program.summary), std::string(program.name));
    app.set_help_flag("-h,--help", "show this help and exit");
    app.set_version_flag("-V,--version", std::string(program.name) + " " + std::string(program.version),
                         "show the version and exit");
    auto formatter = std::make_shared<UsageFormatter>("Usage: " + usage_line(program) + "\n  or:  " +
                                                      std::string(program.name) +
                                                      "    (without arguments: the interactive dialogue)\n");
    formatter->column_width(24);
    app.formatter(formatter);
    app.footer(std::string(program.examples));
    describe_options(app, program, options);
    app.allow_extras();

    std::vector<std::string> reversed(arguments.rbegin(), arguments.rend());  // CLI11 takes them last first
    try {
        app.parse(reversed);
    } catch (const CLI::CallForHelp&) {
        out << app.help();
        return {std::nullopt, 0};
    } catch (const CLI::CallForVersion& version) {
        out << version.what() << '\n';
        return {std::nullopt, 0};
    } catch (const CLI::ParseError& error) {
        err << program.name << ": " << error.what() << "\nTry '" << program.name << " --help' for more information.\n";
        return {std::nullopt, 2};
    }
    if (const auto problem = misuse(app, options)) {
        err << program.name << ": " << *problem << "\nTry '" << program.name << " --help' for more information.\n";
        return {std::nullopt, 2};
    }
    return {options, 0};
}

int program_main(int argc, char** argv, const Program& program) {
    // Past a file size limit a write then fails with EFBIG and is reported like any other,
    // instead of the signal killing the program and leaving a cut file.
    std::signal(SIGXFSZ, SIG_IGN);
    std::ios::sync_with_stdio(false);
    if (argc <= 1) {
        // The console streams carry only prompts, counts and the meter; stdio sync buys nothing.
        std::cin.tie(&std::cout);
        program.dialogue(std::cin, std::cout);
        return 0;
    }
    const ParsedCommandLine parsed =
        parse_command_line(program, std::vector<std::string>(argv + 1, argv + argc), std::cout, std::cerr);
    if (!parsed.options) {
        return parsed.exit_status;
    }
    io::TempFiles temps;  // before any helper thread starts
    BatchFront front(program, *parsed.options, std::cerr, temps);
    const Outcome outcome = program.batch(front, *parsed.options);
    std::cout.flush();
    return outcome == Outcome::done ? 0 : 1;
}

}  // namespace session
