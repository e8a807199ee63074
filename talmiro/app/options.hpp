// talmiro's own batch options.
#pragma once

#include "front/program.hpp"
#include "talmiro/match/name_selection.hpp"
#include "talmiro/records/record_scanner.hpp"
#include "talmiro/regions/region_parsing.hpp"

#include <optional>
#include <string>
#include <vector>

namespace talmiro {

struct Options {
    std::string match;   // "prefix", "word" or "full"; empty when not given
    bool exact = false;  // the older spelling of --match word
    bool ignore_case = false;
    bool exclude = false;
    std::string order;  // "list" or "file"; empty when not given
    bool no_index = false;
    bool no_mate_check = false;
    // Regions, in place of the list.
    std::vector<std::string> regions;  // --region, in the order given
    bool reverse_complement = false;
    bool strand = false;
    bool name_from_bed = false;
    bool strict_regions = false;
    std::optional<std::uint32_t> line_width;
    bool operator==(const Options&) const = default;
};

// Which records go out, and in which order.
enum class Order { list, file };
struct Choice {
    Selection selection;
    bool exclude = false;
    Order order = Order::list;
    // Records may be taken through an input's index. Folded names and excluding need every
    // header, so those read the input whole.
    bool use_index = true;
    // The dialogue reads as it always has; batch mode as the field's readers do.
    Checks checks = Checks::lenient;
    // Paired inputs read in file order are held to be mates, record for record.
    bool mate_check = false;
    // The list's names are this field of each line (from 1); 0: each whole line.
    std::uint32_t list_column = 0;
    // A name listed several times is said once (batch mode).
    bool warn_of_repeats = false;
};

// What a run of regions asks for.
struct RegionChoice {
    std::vector<std::string> given;  // --region
    std::string regions_path;        // --regions; empty where not given
    std::string bed_path;            // --bed; empty where not given
    BedChoice bed;
    bool reverse = false;
    bool strict = false;
    bool allow_missing = false;
    std::uint32_t line_width = 60;  // 0: one line
    Order order = Order::list;
    bool use_index = true;
    // The output is a file replaced once whole (not standard output, a device or a pipe), so
    // outputs may be written as they are cut: a failed run still leaves nothing behind.
    bool output_replaced = false;
};

// Binds the options to the command line.
void declare_options(session::OptionSet& options, Options& values);
// Why the options cannot go together, when they cannot.
std::optional<std::string> misuse(const session::BatchOptions& common, const Options& options);
// What the options ask for (once misuse() has passed them).
Choice choice_of(const Options& options);
// The same for a run of regions; none where no region is given.
std::optional<RegionChoice> region_choice_of(const session::BatchOptions& common, const Options& options);

}  // namespace talmiro
