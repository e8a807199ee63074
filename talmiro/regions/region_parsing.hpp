// Regions as the field writes them: samtools' "NAME:START-END" (from 1, both ends included,
// thousands separated by commas or not, "{NAME}:..." for a name holding ':') and BED lines
// (NAME, START from 0, END, then optionally a name, a score and a strand). Parsing gives the
// region or says what is wrong with the text; it knows nothing of any file's records.
#pragma once

#include "talmiro/regions/region.hpp"

#include <string>
#include <string_view>
#include <variant>

namespace talmiro {

// What a text gave: a region, or why it is none.
struct RegionError {
    std::string why;
};
using ParsedRegion = std::variant<Region, RegionError>;

// "c1", "c1:5", "c1:5-9", "c1:1,000-2,000", "{a:b}:2-3": the header is the text itself (and
// "/rc" with `reverse`). A text whose part after its last ':' is no range is one name whole.
ParsedRegion parse_region(std::string_view text, bool reverse);

// How a BED file's lines become regions.
struct BedChoice {
    bool name_from_bed = false;  // the header is the line's own name (its 4th field)
    bool strand = false;         // a '-' in the 6th field writes the reverse complement
    bool reverse = false;        // every interval reverse complemented
};

// One line of a BED file: a region, an error, or nothing to take (a blank line, a comment, a
// track or browser line).
struct NotARegion {};
using BedLine = std::variant<Region, RegionError, NotARegion>;
BedLine parse_bed_line(std::string_view line, const BedChoice& choice);

// One line of a file of regions (--regions): a region as parse_region() takes it, the blanks
// around it aside; a blank line is nothing to take.
BedLine parse_region_line(std::string_view line, bool reverse);

}  // namespace talmiro
