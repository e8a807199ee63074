#include "orvane/app/options.hpp"

#include "orvane/formats/layouts.hpp"

namespace orvane {

namespace {

std::string listed(const std::vector<std::string>& names) {
    std::string text;
    for (const std::string& name : names) {
        text += (text.empty() ? "" : ", ") + name;
    }
    return text;
}

}  // namespace

void declare_options(session::OptionSet& options, Options& values) {
    const std::vector<std::string> layouts(layout_names.begin(), layout_names.end());
    std::vector<std::string> readable = {"auto"};
    readable.insert(readable.end(), layouts.begin(), layouts.end());
    options.choice("--input-format", values.input_format, "F", readable,
                   "the input's layout: auto (default: told from the first lines), " + listed(layouts) +
                       " (pairs: 'id id distance' per line, as mash dist writes; ssv: blank-separated, as R's "
                       "write.table writes)");
    options.choice("--output-format", values.output_format, "F", layouts,
                   "the output's layout: " + listed(layouts) + " (default: the input's)");
    options.flag("--list-lines", values.list_lines,
                 "the list holds one ID per line, blanks inside and at the ends kept, empty lines skipped "
                 "(default: IDs separated by any blanks)");
    options.flag("--check", values.check,
                 "fail, naming the first fault, unless the cut is symmetric with zeros on its diagonal");
    options.flag("--exclude", values.exclude, "keep every ID but the listed ones, in the matrix's order");
    options.number("--dataset", values.dataset, "N",
                   "cut only the N-th data set (from 1) of a file of several, such as bootstrap replicates "
                   "(default: every one; a tsv, csv, pairs or ssv output takes one)");
    options.number("--decimals", values.decimals, "N",
                   "write every value in fixed point with N decimals, 0 to " + std::to_string(most_decimals) +
                       " (default: each as the input wrote it)",
                   0, most_decimals);
    options.flag("--allow-na", values.allow_na,
                 "let missing values (NA, NaN, an empty cell, as R and pandas write them) of a table or pairs input "
                 "through into a tsv, csv, ssv or pairs output, as they stand (a square, lower or sample output, or "
                 "--check, fails naming the cell)");
    options.flag("--no-index", values.no_index, "read the whole matrix even where an index (MATRIX.oix) is beside it");
}

std::optional<std::string> misuse(const session::BatchOptions& common, const Options& options) {
    if (common.files_mode) {
        Options only_the_layout;
        only_the_layout.input_format = options.input_format;
        if (options.output_format != only_the_layout.output_format || options.list_lines || options.check ||
            options.exclude || options.dataset != 0 || options.no_index || options.decimals || options.allow_na) {
            return std::string("--index takes files and no other option than --input-format, -q or -v");
        }
    }
    return std::nullopt;
}

Choice choice_of(const Options& options) {
    Choice choice;
    if (options.input_format != "auto") {
        choice.input_layout = layout_named(options.input_format);
    }
    if (!options.output_format.empty()) {
        choice.output_layout = layout_named(options.output_format);
    }
    choice.list_lines = options.list_lines;
    choice.check = options.check;
    choice.exclude = options.exclude;
    choice.dataset = options.dataset;
    choice.use_index = !options.no_index;
    choice.decimals = options.decimals;
    choice.allow_na = options.allow_na;
    return choice;
}

}  // namespace orvane
