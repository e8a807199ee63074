#include "front/program.hpp"

#include "front/completions.hpp"

#include "project/version.hpp"
#include "text/quoting.hpp"
#include "threads/helper.hpp"

#include <CLI/CLI.hpp>
#include <limits>

#include <algorithm>
#include <ostream>

namespace session {

namespace {

// CLI11 builds a generic usage line; ours names the options and the dialogue's form too.
class UsageFormatter final : public CLI::Formatter {
public:
    explicit UsageFormatter(std::string usage) : usage_(std::move(usage)) {}
    std::string make_usage(const CLI::App*, std::string) const override { return usage_; }

private:
    std::string usage_;
};

// " -l LIST" for a file every run names, " [-x NAME]" for one it may.
std::string file_usage(const FileRole& role) {
    const std::string_view short_option = role.options.substr(0, role.options.find(','));
    std::string usage = std::string(short_option) + " " + std::string(role.value_name);
    switch (role.need) {
    case FileRole::Need::required:
        return " " + usage;
    case FileRole::Need::one_or_more:
        return " " + usage + " [" + usage + "...]";
    case FileRole::Need::optional:
        break;
    }
    return " [" + usage + "]";
}

std::string usage_text(const Program& program, const OptionSet& declared) {
    std::string usage = "Usage: " + std::string(program.name);
    for (const FileRole* const role : program.files) {
        usage += file_usage(*role);
    }
    usage += " [--allow-missing]" + declared.usage() + " [-q | -v]\n";
    if (program.files_mode != nullptr) {
        const std::string value(program.files_mode->value_name);
        const std::string_view options = program.files_mode->options;
        usage += "  or:  " + std::string(program.name) + " " + std::string(program.files_mode->option) + " " + value +
                 " [" + value + "...]" + (options.empty() ? "" : " ") + std::string(options) + " [-q | -v]\n";
    }
    return usage + "  or:  " + std::string(program.name) + "    (without arguments: the interactive dialogue)\n";
}

// "--list and --input", "--a, --b and --c"
std::string joined(const std::vector<std::string_view>& names) {
    std::string text;
    for (std::size_t index = 0; index < names.size(); ++index) {
        text += index == 0 ? "" : index + 1 == names.size() ? " and " : ", ";
        text += names[index];
    }
    return text;
}

// At most one input can come from standard input, and one output go to standard output.
std::optional<std::string> standard_streams_shared(const BatchOptions& options) {
    for (const auto direction : {FileRole::Direction::input, FileRole::Direction::output}) {
        std::vector<std::string_view> named_dash;
        for (const auto& [role, path] : options.paths) {
            if (role->direction == direction && path == "-") {
                named_dash.push_back(role->long_option());
            }
        }
        const std::string stream = direction == FileRole::Direction::input ? "standard input" : "standard output";
        if (named_dash.size() > 1 && std::all_of(named_dash.begin(), named_dash.end(),
                                                 [&](std::string_view name) { return name == named_dash[0]; })) {
            return "only one " + std::string(direction == FileRole::Direction::input ? "input" : "output") +
                   " can be " + stream + " (-)";
        }
        if (named_dash.size() > 1) {
            return "only one of " + joined(named_dash) + " can be " + stream + " (-)";
        }
    }
    return std::nullopt;
}

// Every output can be written as asked: its name names a compression these programs write, and
// the level is one its codec takes.
std::optional<std::string> compression_misuse(const BatchOptions& options) {
    bool compressed = false;
    for (const auto& [role, path] : options.paths) {
        if (role->direction != FileRole::Direction::output || path.empty()) {
            continue;
        }
        if (const std::optional<std::string> suffix = io::unwritable_suffix(path)) {
            return text::quoted(path) + " names a " + *suffix +
                   " file, which cannot be written: name it .gz or .bgz (BGZF), .zst, .bz2 or .xz, or without a "
                   "compression suffix for plain text";
        }
        const io::CompressionChoice choice = options.compression_for(path);
        if (choice.compression == io::Compression::none) {
            continue;
        }
        compressed = true;
        const io::LevelRange range = io::level_range(choice.compression);
        if (options.level &&
            (static_cast<int>(*options.level) < range.least || static_cast<int>(*options.level) > range.most)) {
            return "--level " + std::to_string(*options.level) + " is outside " +
                   std::string(io::compression_label(choice.compression)) + "'s levels, " +
                   std::to_string(range.least) + " to " + std::to_string(range.most) + " (for " + text::quoted(path) +
                   ")";
        }
    }
    if (options.level && !compressed) {
        return "--level " + std::to_string(*options.level) + " is for a compressed output, and none is";
    }
    return std::nullopt;
}

// Arguments after the options are inputs, as the peers take them (`talmiro -l names.txt
// reads.fq.gz`), for a program whose input was not named with its option.
std::optional<std::string> take_positional_inputs(const Program& program, const std::vector<std::string>& arguments,
                                                  std::vector<std::vector<std::string>>& given) {
    if (arguments.empty()) {
        return std::nullopt;
    }
    for (std::size_t index = 0; index < program.files.size(); ++index) {
        if (program.files[index] != program.input) {
            continue;
        }
        if (!given[index].empty()) {
            return "the input is named both with " + std::string(program.input->long_option()) + " and as " +
                   text::quoted(arguments.front()) + ": name it one way";
        }
        given[index] = arguments;
    }
    return std::nullopt;
}

// An output the program must write goes to standard output where it was not named, as the
// peers write; with several inputs each needs its own name.
void default_outputs_to_standard_output(const Program& program, std::vector<std::vector<std::string>>& given) {
    std::size_t inputs = 0;
    for (std::size_t index = 0; index < program.files.size(); ++index) {
        if (program.files[index] == program.input) {
            inputs = given[index].size();
        }
    }
    for (std::size_t index = 0; index < program.files.size(); ++index) {
        const FileRole& role = *program.files[index];
        if (role.direction == FileRole::Direction::output && role.need != FileRole::Need::optional &&
            given[index].empty() && inputs <= 1) {
            given[index].emplace_back("-");
        }
    }
}

// A mode of its own takes files and the program's own options, none of extraction's files.
std::optional<std::string> files_mode_misuse(const CLI::App& app, std::string_view mode, const BatchOptions& options,
                                             const BatchProgram& batch) {
    for (const auto& [role, path] : options.paths) {
        if (app.count(std::string(role->long_option())) > 0) {
            return std::string(role->long_option()) + " cannot go with " + std::string(mode);
        }
    }
    if (options.allow_missing) {
        return "--allow-missing cannot go with " + std::string(mode);
    }
    if (options.mode_files.empty()) {
        return std::string(mode) + " names no file";
    }
    if (options.quiet && options.verbose) {
        return "--quiet and --verbose exclude each other";
    }
    return batch.misuse(options);
}

// What the parser leaves to us: arguments it did not know (told first, as the likeliest slip),
// the files every run needs, and the rules between options.
std::optional<std::string> misuse(const CLI::App& app, const Program& program, const BatchOptions& options,
                                  const BatchProgram& batch) {
    for (const std::string& argument : app.remaining()) {
        if (argument.size() > 1 && argument.front() == '-') {
            return "unknown option " + text::quoted(argument);
        }
    }
    if (options.files_mode) {
        return files_mode_misuse(app, program.files_mode->option, options, batch);
    }
    if (auto compression = compression_misuse(options)) {
        return compression;
    }
    for (const auto& [role, path] : options.paths) {
        if (path.empty() && app.count(std::string(role->long_option())) > 0) {
            return std::string(role->long_option()) + " names no file (an empty name)";
        }
        // An output not named is standard output, save with several inputs: the program says
        // what each needs.
        if (role->need != FileRole::Need::optional && path.empty() && role->direction == FileRole::Direction::input) {
            return std::string(role->long_option()) + " is required";
        }
    }
    if (options.quiet && options.verbose) {
        return "--quiet and --verbose exclude each other";
    }
    if (auto shared = standard_streams_shared(options)) {
        return shared;
    }
    return batch.misuse(options);
}

}  // namespace

io::CompressionChoice BatchOptions::compression_for(const std::string& path) const {
    io::CompressionChoice choice;
    choice.compression =
        path == "-" ? io::compression_named(compress).value_or(io::Compression::none) : io::compression_for_name(path);
    if (level) {
        choice.level = static_cast<int>(*level);
    }
    choice.threads = threads ? *threads : threads::usable_cores();
    return choice;
}

std::vector<std::string> BatchOptions::paths_of(const FileRole& role) const {
    std::vector<std::string> named;
    for (const auto& [of, path] : paths) {
        if (of == &role && !path.empty()) {
            named.push_back(path);
        }
    }
    return named;
}

const std::string& BatchOptions::path_of(const FileRole& role) const {
    for (const auto& [named, path] : paths) {
        if (named == &role) {
            return path;
        }
    }
    static const std::string none;
    return none;
}

void OptionSet::flag(std::string_view names, bool& value, std::string_view help) {
    CLI::Option* const option = app_.add_flag(std::string(names), value, std::string(help));
    usage_ += " [" + option->get_name() + "]";
}

void OptionSet::choice(std::string_view names, std::string& value, std::string_view value_name,
                       const std::vector<std::string>& choices, std::string_view help) {
    CLI::Option* const option = app_.add_option(std::string(names), value, std::string(help))
                                    ->option_text(std::string(value_name))
                                    ->check(CLI::IsMember(choices));
    usage_ += " [" + option->get_name() + " " + std::string(value_name) + "]";
    choices_.emplace_back(option->get_name(), choices);
}

void OptionSet::number(std::string_view names, std::uint32_t& value, std::string_view value_name,
                       std::string_view help) {
    CLI::Option* const option = app_.add_option(std::string(names), value, std::string(help))
                                    ->option_text(std::string(value_name))
                                    ->check(CLI::Range(std::uint32_t{1}, std::numeric_limits<std::uint32_t>::max()));
    usage_ += " [" + option->get_name() + " " + std::string(value_name) + "]";
}

void OptionSet::number(std::string_view names, std::optional<std::uint32_t>& value, std::string_view value_name,
                       std::string_view help, std::uint32_t least, std::uint32_t most) {
    CLI::Option* const option =
        app_.add_option_function<std::uint32_t>(
                std::string(names), [&value](const std::uint32_t& given) { value = given; }, std::string(help))
            ->option_text(std::string(value_name))
            ->check(CLI::Range(least, most));
    usage_ += " [" + option->get_name() + " " + std::string(value_name) + "]";
}

void OptionSet::texts(std::string_view names, std::vector<std::string>& values, std::string_view value_name,
                      std::string_view help) {
    CLI::Option* const option = app_.add_option(std::string(names), values, std::string(help))
                                    ->option_text(std::string(value_name))
                                    ->allow_extra_args(false)
                                    ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
    usage_ += " [" + option->get_name() + " " + std::string(value_name) + "...]";
    texts_.push_back(option->get_name());
}

std::string help_hint(std::string_view program_name) {
    return "Try '" + std::string(program_name) + " --help' for more information.\n";
}

namespace {

// The options of outputs and lists that both programs take.
void declare_common_options(CLI::App& app, BatchOptions& options, OptionSet& declared) {
    declared.choice("--compress", options.compress, "FORMAT", {"none", "gz", "bgzf", "zst", "bz2", "xz"},
                    "how an output written to standard output is compressed (default none; gz and bgzf both "
                    "write BGZF); a named output is compressed as its name ends: .gz or .bgz (BGZF), .zst, .bz2, "
                    ".xz");
    declared.number("--level", options.level, "N",
                    "the compression level, within the codec's own range (BGZF 1-12, default 1; zstd 1-19, "
                    "default 3; bzip2 1-9, default 9; xz 0-9, default 6)",
                    0, 19);
    declared.number("--threads", options.threads, "N",
                    "threads to compress, decompress and read on (default: the CPUs the process may use; 1: "
                    "one core)",
                    1, 1024);
    declared.number("--list-column", options.list_column, "N",
                    "take the N-th blank- or tab-separated field of each list line as the name (a table of "
                    "hits, as seqtk takes its first column)");
    static_cast<void>(app);
}

// Everything the command line takes, bound to `options` and `given` (one list of paths per file
// role); `declared` gets the program's own.
void declare_command_line(CLI::App& app, const Program& program, BatchProgram& batch, BatchOptions& options,
                          std::vector<std::vector<std::string>>& given, OptionSet& declared) {
    app.set_help_flag("-h,--help", "show this help and exit");
    app.set_version_flag("-V,--version", std::string(program.name) + " " + std::string(project::version),
                         "show the version and exit");
    // Every file option gathers what it is given; a file taken once refuses a second one below.
    given.assign(program.files.size(), {});
    for (std::size_t index = 0; index < program.files.size(); ++index) {
        const FileRole& role = *program.files[index];
        app.add_option(std::string(role.options), given[index], std::string(role.help))
            ->option_text(std::string(role.value_name))
            ->allow_extra_args(false);
    }
    app.add_flag("--allow-missing", options.allow_missing,
                 "warn about listed names the input lacks and write the rest (default: fail)");
    if (program.files_mode != nullptr) {
        app.add_flag(std::string(program.files_mode->option), options.files_mode,
                     std::string(program.files_mode->help));
    }
    batch.declare_options(declared);
    declare_common_options(app, options, declared);
    app.add_flag("-q,--quiet", options.quiet, "draw no meter on a terminal");
    app.add_flag("-v,--verbose", options.verbose, "show the counts on standard error");
}

}  // namespace

ParsedCommandLine parse_command_line(const Program& program, BatchProgram& batch,
                                     const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err) {
    // Not in the help: what the build makes the shells' completions with.
    if (arguments.size() == 2 && arguments[0] == "--generate") {
        if (const std::optional<std::string> text = generated(arguments[1], program, batch)) {
            out << *text;
            return {std::nullopt, 0};
        }
    }
    BatchOptions options;
    CLI::App app(std::string(program.summary), std::string(program.name));
    std::vector<std::vector<std::string>> given;
    OptionSet declared(app);
    declare_command_line(app, program, batch, options, given, declared);
    auto formatter = std::make_shared<UsageFormatter>(usage_text(program, declared));
    formatter->column_width(24);
    app.formatter(formatter);
    app.footer(std::string(program.examples));
    app.allow_extras();

    const auto usage_error = [&](const std::string& problem) {
        err << program.name << ": " << problem << '\n' << help_hint(program.name);
        return ParsedCommandLine{std::nullopt, 2};
    };
    // "--" ends the options: what follows is a file however it begins.
    const auto options_end = std::find(arguments.begin(), arguments.end(), "--");
    const std::vector<std::string> after_options(options_end == arguments.end() ? options_end : options_end + 1,
                                                 arguments.end());
    for (auto argument = arguments.begin(); argument != options_end; ++argument) {
        if (argument->starts_with("--") && argument->ends_with("=")) {
            return usage_error(text::quoted(*argument) + " gives " + argument->substr(0, argument->size() - 1) +
                               " no value");
        }
    }
    std::vector<std::string> reversed(std::make_reverse_iterator(options_end),
                                      arguments.rend());  // CLI11 takes them last first
    try {
        app.parse(reversed);
    } catch (const CLI::CallForHelp&) {
        out << app.help();
        return {std::nullopt, 0};
    } catch (const CLI::CallForVersion& version) {
        out << version.what() << '\n';
        return {std::nullopt, 0};
    } catch (const CLI::ParseError& error) {
        return usage_error(error.what());
    }
    // Files are what the parser did not take, in the order given, then all after "--": the
    // mode's files, or the inputs.
    std::vector<std::string> files;
    for (const std::string& argument : app.remaining()) {
        if (argument.size() <= 1 || argument.front() != '-') {
            files.push_back(argument);
        } else {
            return usage_error("unknown option " + text::quoted(argument));  // the likeliest slip: told first
        }
    }
    files.insert(files.end(), after_options.begin(), after_options.end());
    if (options.files_mode) {
        options.mode_files = std::move(files);
    } else {
        if (const auto problem = take_positional_inputs(program, files, given)) {
            return usage_error(*problem);
        }
        default_outputs_to_standard_output(program, given);
    }
    for (std::size_t index = 0; index < program.files.size(); ++index) {
        const FileRole& role = *program.files[index];
        if (given[index].size() > 1 && role.need != FileRole::Need::one_or_more) {
            return usage_error(std::string(role.long_option()) + " names one file, not " +
                               std::to_string(given[index].size()));
        }
        if (given[index].empty()) {
            given[index].emplace_back();
        }
        for (std::string& path : given[index]) {
            options.paths.emplace_back(program.files[index], std::move(path));
        }
    }
    if (const auto problem = misuse(app, program, options, batch)) {
        return usage_error(*problem);
    }
    return {std::move(options), 0};
}

std::vector<OptionInfo> list_options(const Program& program, BatchProgram& batch) {
    BatchOptions options;
    CLI::App app(std::string(program.summary), std::string(program.name));
    std::vector<std::vector<std::string>> given;
    OptionSet declared(app);
    declare_command_line(app, program, batch, options, given, declared);
    const std::string_view with_mode = program.files_mode != nullptr ? program.files_mode->options : std::string_view();
    std::vector<OptionInfo> listed;
    for (const CLI::Option* const option : app.get_options()) {
        OptionInfo info;
        for (const std::string& name : option->get_snames()) {
            info.names.push_back("-" + name);
        }
        for (const std::string& name : option->get_lnames()) {
            info.names.push_back("--" + name);
        }
        info.help = option->get_description();
        info.value_name = option->get_option_text();
        info.ends_the_run = option == app.get_help_ptr() || option == app.get_version_ptr();
        info.is_files_mode = program.files_mode != nullptr && info.names.back() == program.files_mode->option;
        info.with_files_mode = info.is_files_mode || info.names.back() == "--quiet" ||
                               info.names.back() == "--verbose" ||
                               with_mode.find(info.names.back() + " ") != std::string_view::npos;
        for (const FileRole* const role : program.files) {
            if (role->long_option() == info.names.back()) {
                info.value = OptionInfo::Value::file;
                info.repeatable = role->need == FileRole::Need::one_or_more;
            }
        }
        const auto& choices = declared.choices();
        const auto choice = std::find_if(choices.begin(), choices.end(),
                                         [&](const auto& entry) { return entry.first == option->get_name(); });
        const auto& texts = declared.text_options();
        if (choice != choices.end()) {
            info.value = OptionInfo::Value::choice;
            info.choices = choice->second;
        } else if (std::find(texts.begin(), texts.end(), option->get_name()) != texts.end()) {
            info.value = OptionInfo::Value::text;
            info.repeatable = true;
        } else if (info.value == OptionInfo::Value::none && option->get_type_size() > 0 && !info.value_name.empty()) {
            info.value = OptionInfo::Value::number;
        }
        listed.push_back(std::move(info));
    }
    return listed;
}

}  // namespace session
