// A region: a stretch of one record, by its name and its bases' places, as samtools names
// regions ("c1:100-200") and BED files list intervals. Kept from 0, half open, whatever form it
// was given in; the header it is written under is the form the user gave.
#pragma once

#include <cstdint>
#include <limits>
#include <string>

namespace talmiro {

struct Region {
    // One past the record's last base: a region given without an end reaches there.
    static constexpr std::uint64_t to_end = std::numeric_limits<std::uint64_t>::max();

    std::string name;         // the record's name: its header's first word
    std::uint64_t begin = 0;  // the first base, from 0
    std::uint64_t end = to_end;
    std::string header;  // the output's header line, without its '>' or '@'
    bool reverse = false;
    // Where it was given, for messages: on the command line (an error of it is a usage error),
    // or a line (from 1) of a file of regions or a BED file.
    enum class Source : std::uint8_t { command_line, region_list, bed };
    Source source = Source::command_line;
    std::uint64_t line = 0;
};

}  // namespace talmiro
