#include "talmiro/app/options.hpp"

#include "talmiro/app/files.hpp"
#include "text/quoting.hpp"

#include <limits>

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
    options.texts("--region", values.regions, "REGION",
                  "cut REGION rather than take listed records: NAME:START-END (from 1, both ends included, as "
                  "samtools writes it), NAME:START to the record's end, NAME whole, {NAME}:START-END for a name "
                  "holding ':'; again for each further region");
    options.flag("--reverse-complement", values.reverse_complement,
                 "write each region's reverse complement (qualities reversed), its header marked /rc");
    options.flag("--strand", values.strand, "a BED interval on strand - is written reverse complemented");
    options.flag("--name-from-bed", values.name_from_bed, "head each BED interval with its own name (4th field)");
    options.flag("--strict-regions", values.strict_regions,
                 "a region reaching past its record's end fails the run rather than being cut to what the "
                 "record holds");
    options.number("--line-width", values.line_width, "N",
                   "regions' sequences (and qualities) in lines of N (default 60; 0: one line)", 0,
                   std::numeric_limits<std::int32_t>::max());
}

namespace {

bool names_regions(const session::BatchOptions& common, const Options& options) {
    return !options.regions.empty() || !common.path_of(regions_file).empty() || !common.path_of(bed_file).empty();
}

// What only regions take, named, where the options give any of it.
std::optional<std::string> region_option_given(const Options& options) {
    const std::pair<bool, const char*> only_regions[] = {{options.reverse_complement, "--reverse-complement"},
                                                         {options.strand, "--strand"},
                                                         {options.name_from_bed, "--name-from-bed"},
                                                         {options.strict_regions, "--strict-regions"},
                                                         {options.line_width.has_value(), "--line-width"}};
    for (const auto& [given, name] : only_regions) {
        if (given) {
            return std::string(name);
        }
    }
    return std::nullopt;
}

// What cannot go with regions, and regions given wrong.
std::optional<std::string> region_misuse(const session::BatchOptions& common, const Options& options) {
    const std::pair<bool, const char*> names_only[] = {{!common.path_of(list_file).empty(), "--list"},
                                                       {!options.match.empty(), "--match"},
                                                       {options.exact, "--exact"},
                                                       {options.exclude, "--exclude"},
                                                       {options.ignore_case, "--ignore-case"},
                                                       {common.list_column > 0, "--list-column"}};
    for (const auto& [given, name] : names_only) {
        if (given) {
            return std::string(name) + " takes records by name: it cannot go with regions (--region, --regions, --bed)";
        }
    }
    if (common.paths_of(fasta_file).size() > 1) {
        return std::string("regions are cut from one --input");
    }
    if ((options.name_from_bed || options.strand) && common.path_of(bed_file).empty()) {
        return std::string(options.strand ? "--strand" : "--name-from-bed") + " reads a BED file: it needs --bed";
    }
    for (const std::string& given : options.regions) {
        const ParsedRegion region = parse_region(given, false);
        if (const RegionError* const bad = std::get_if<RegionError>(&region)) {
            return "--region " + text::quoted(given) + ": " + bad->why;
        }
    }
    return std::nullopt;
}

}  // namespace

std::optional<std::string> misuse(const session::BatchOptions& common, const Options& options) {
    if (common.files_mode) {
        if (options != Options{}) {
            return std::string("--index takes files and no other option than -q or -v");
        }
        return std::nullopt;
    }
    if (names_regions(common, options)) {
        if (std::optional<std::string> bad = region_misuse(common, options)) {
            return bad;
        }
    } else if (common.path_of(list_file).empty()) {
        return std::string("--list is required (or regions: --region, --regions, --bed)");
    } else if (const std::optional<std::string> given = region_option_given(options)) {
        return *given + " works on regions: it needs --region, --regions or --bed";
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

std::optional<RegionChoice> region_choice_of(const session::BatchOptions& common, const Options& options) {
    if (!names_regions(common, options)) {
        return std::nullopt;
    }
    RegionChoice choice;
    choice.given = options.regions;
    choice.regions_path = common.path_of(regions_file);
    choice.bed_path = common.path_of(bed_file);
    choice.bed = {options.name_from_bed, options.strand, options.reverse_complement};
    choice.reverse = options.reverse_complement;
    choice.strict = options.strict_regions;
    choice.allow_missing = common.allow_missing;
    choice.line_width = options.line_width.value_or(60);
    choice.order = options.order == "file" ? Order::file : Order::list;
    choice.use_index = !options.no_index;
    return choice;
}

}  // namespace talmiro
