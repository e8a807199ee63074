#include "talmiro/app/options.hpp"

#include "talmiro/app/files.hpp"

namespace talmiro {

void declare_options(session::OptionSet& options, Options& values) {
    options.choice("--match", values.match, "MODE", {"word", "prefix", "full"},
                   "which headers a name takes: word (default: whose first word it is, a trailing /1 or /2 "
                   "aside, as samtools and seqkit take IDs), prefix (those it begins, so contig_1 also takes "
                   "contig_10; a record whose first word is a listed name goes to that name), full (the whole "
                   "header line)");
    options.flag("--exact", values.exact, "the same as --match word");
    options.flag("--ignore-case", values.ignore_case, "names match headers whatever the case of their letters");
    options.flag("--exclude", values.exclude,
                 "write every record no listed name takes, in file order (listed names absent from the "
                 "input are no error)");
    options.choice("--order", values.order, "ORDER", {"list", "file"},
                   "list (default: records in list order) or file (each record taken once, as read, written "
                   "while the input is read)");
    options.flag("--no-index", values.no_index, "read the whole input even where its index (FILE.tix) is beside it");
    options.flag("--no-mate-check", values.no_mate_check,
                 "with several inputs read in file order (--exclude, --order file), take them as they are rather "
                 "than hold each record to be the mate of the others' (its name alike, a trailing /1 or /2 aside)");
}

std::optional<std::string> misuse(const session::BatchOptions& common, const Options& options) {
    if (common.files_mode) {
        if (options != Options{}) {
            return std::string("--index takes files and no other option than -q or -v");
        }
        return std::nullopt;
    }
    const std::size_t inputs = common.paths_of(fasta_file).size();
    const std::size_t outputs = common.paths_of(output_file).size();
    if (inputs != outputs) {
        return "each --input needs its own --output (" + std::to_string(inputs) + " inputs, " +
               std::to_string(outputs) + " outputs)";
    }
    if (options.exact && !options.match.empty() && options.match != "word") {
        return "--exact is --match word: it cannot go with --match " + options.match;
    }
    if (options.exclude && options.order == "list") {
        return "--exclude writes in file order: it cannot go with --order list";
    }
    return std::nullopt;
}

Choice choice_of(const Options& options) {
    Choice choice;
    // Word matching unless asked otherwise: a prefix takes what the user did not list (r:1902
    // also takes r:19024).
    choice.selection.matching = Matching::word;
    if (options.match == "prefix") {
        choice.selection.matching = Matching::prefix;
        choice.selection.words_first = true;
    } else if (options.match == "full") {
        choice.selection.matching = Matching::full;
    }
    choice.selection.ignore_case = options.ignore_case;
    choice.exclude = options.exclude;
    choice.order = options.exclude || options.order == "file" ? Order::file : Order::list;
    choice.use_index = !options.no_index && !options.exclude && !options.ignore_case;
    choice.checks = Checks::strict;
    choice.mate_check = !options.no_mate_check;
    choice.warn_of_repeats = true;
    return choice;
}

}  // namespace talmiro
