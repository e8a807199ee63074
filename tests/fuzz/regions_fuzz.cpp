// Region texts and BED lines as the run parses them, and the cut of a record in pieces against
// its lines joined: the first line of the input is the region (or BED line), the rest a FASTA
// record handed on in pieces of the sizes its first byte says.
#include "fuzz_support.hpp"
#include "talmiro/regions/region_cutting.hpp"
#include "talmiro/regions/region_parsing.hpp"

#include <string>
#include <string_view>

namespace {

// A record's lines after its header, each without its "\n" or "\r\n".
std::string joined_lines(std::string_view record) {
    std::string joined;
    const std::size_t header_end = record.find('\n');
    if (header_end == std::string_view::npos) {
        return joined;
    }
    for (std::size_t at = header_end + 1; at < record.size();) {
        const std::size_t end = std::min(record.find('\n', at), record.size());
        std::string_view line = record.substr(at, end - at);
        if (line.ends_with('\r') && end < record.size()) {
            line.remove_suffix(1);
        } else if (line.ends_with('\r')) {
            line.remove_suffix(1);  // a '\r' closing the text ends its last line too
        }
        joined += line;
        at = end + 1;
    }
    return joined;
}

void check_region(const talmiro::Region& region, std::string_view record, std::size_t piece) {
    fuzzing::require(!region.name.empty(), "a region names a record");
    fuzzing::require(region.name.find_first_of(" \t\r\n") == std::string::npos, "a name holds no blank");
    fuzzing::require(region.end == talmiro::Region::to_end || region.begin <= region.end, "no start after its end");
    fuzzing::require(!region.header.empty(), "a region has a header");
    const talmiro::Region* const regions[] = {&region};
    talmiro::RegionCutter cutter;
    cutter.start(talmiro::RecordFormat::fasta, regions);
    for (std::size_t at = 0; at < record.size(); at += piece) {
        cutter.add(record.substr(at, piece));
    }
    cutter.end_record();
    const std::string bases = joined_lines(record);
    fuzzing::require(cutter.bases() == bases.size(), "every base counted");
    fuzzing::require(cutter.cuts()[0].bases == talmiro::clipped(bases, region.begin, region.end),
                     "the cut is the joined lines' substring");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) {
        return 0;
    }
    const std::string_view input(reinterpret_cast<const char*>(data) + 1, size - 1);
    const std::size_t piece = 1 + data[0] % 13;
    const std::size_t line_end = std::min(input.find('\n'), input.size());
    const std::string_view line = input.substr(0, line_end);
    const std::string_view record = input.substr(std::min(line_end + 1, input.size()));
    switch (data[0] % 3) {
    case 0: {
        const talmiro::ParsedRegion parsed = talmiro::parse_region(line, data[0] % 2 == 0);
        if (const auto* region = std::get_if<talmiro::Region>(&parsed)) {
            fuzzing::require(region->header.starts_with(line), "the header is the region as given");
            check_region(*region, record, piece);
        }
        break;
    }
    case 1: {
        const talmiro::BedLine parsed = talmiro::parse_bed_line(line, {data[0] % 4 == 1, data[0] % 5 == 1, false});
        if (const auto* region = std::get_if<talmiro::Region>(&parsed)) {
            fuzzing::require(region->end != talmiro::Region::to_end, "a BED interval has its end");
            check_region(*region, record, piece);
        }
        break;
    }
    default: {
        const talmiro::BedLine parsed = talmiro::parse_region_line(line, false);
        if (const auto* region = std::get_if<talmiro::Region>(&parsed)) {
            check_region(*region, record, piece);
        }
        break;
    }
    }
    return 0;
}
