#include "talmiro/regions/region_parsing.hpp"

#include <algorithm>
#include <optional>
#include <vector>

namespace talmiro {

namespace {

// samtools' header mark for a reverse complement.
constexpr std::string_view reverse_mark = "/rc";
// Bases are counted well below where sums of places could overflow.
constexpr std::uint64_t largest_place = std::uint64_t{1} << 62;
constexpr std::string_view blanks = " \t\r\n\v\f";

bool holds_blank(std::string_view text) { return text.find_first_of(blanks) != std::string_view::npos; }

std::string_view trimmed(std::string_view text) {
    const std::size_t first = text.find_first_not_of(blanks);
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(blanks) + 1 - first);
}

// A whole number in decimal digits; with `commas`, separators anywhere between them as samtools
// takes "1,000". None where it is no number or past largest_place.
std::optional<std::uint64_t> whole_number(std::string_view text, bool commas) {
    std::uint64_t value = 0;
    bool digits = false;
    for (const char c : text) {
        if (c == ',' && commas) {
            continue;
        }
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
        value = value * 10 + static_cast<std::uint64_t>(c - '0');
        if (value > largest_place) {
            return std::nullopt;
        }
        digits = true;
    }
    return digits ? std::optional(value) : std::nullopt;
}

// Whether the text after a name's ':' has the form of a range ("5", "5-", "5-9", "1,000-2,000"):
// anything else leaves the ':' to the name, as samtools reads "HLA:A*01" whole.
bool looks_like_range(std::string_view text) {
    return !text.empty() && text.front() != '-' && std::count(text.begin(), text.end(), '-') <= 1 &&
           text.find_first_not_of("0123456789,-") == std::string_view::npos;
}

std::string number_text(std::string_view text) { return "\"" + std::string(text) + "\""; }

// The places of `range`, from 1 with both ends included, into `region`.
std::optional<RegionError> take_range(std::string_view range, Region& region) {
    const std::size_t dash = range.find('-');
    const std::string_view start_text = range.substr(0, dash);
    const std::optional<std::uint64_t> start = whole_number(start_text, true);
    if (!start) {
        return RegionError{"its start " + number_text(start_text) + " is no whole number"};
    }
    if (*start == 0) {
        return RegionError{"a start of 0 (regions count bases from 1)"};
    }
    region.begin = *start - 1;
    const std::string_view end_text = dash == std::string_view::npos ? std::string_view() : range.substr(dash + 1);
    if (end_text.empty()) {
        return std::nullopt;  // to the record's end
    }
    const std::optional<std::uint64_t> end = whole_number(end_text, true);
    if (!end) {
        return RegionError{"its end " + number_text(end_text) + " is no whole number"};
    }
    if (*end < *start) {
        return RegionError{"its start (" + std::to_string(*start) + ") lies after its end (" + std::to_string(*end) +
                           ")"};
    }
    region.end = *end;
    return std::nullopt;
}

std::optional<RegionError> check_name(std::string_view name) {
    if (name.empty()) {
        return RegionError{"it names no record"};
    }
    if (holds_blank(name)) {
        return RegionError{"its name holds a blank, and a record's name (its header's first word) never does"};
    }
    return std::nullopt;
}

// Splits "{NAME}" or "{NAME}:RANGE" into the name and the range ("" for the whole record).
std::optional<RegionError> split_braced(std::string_view text, std::string_view& name, std::string_view& range) {
    const std::size_t close = text.find('}');
    if (close == std::string_view::npos) {
        return RegionError{"its '{' is never closed"};
    }
    name = text.substr(1, close - 1);
    const std::string_view rest = text.substr(close + 1);
    if (!rest.empty() && (rest.front() != ':' || rest.size() == 1)) {
        return RegionError{"only \":START-END\" may follow its \"{NAME}\""};
    }
    range = rest.empty() ? rest : rest.substr(1);
    return std::nullopt;
}

std::vector<std::string_view> bed_fields(std::string_view line) {
    std::vector<std::string_view> fields;
    const bool tabs = line.find('\t') != std::string_view::npos;
    std::size_t at = 0;
    while (at <= line.size()) {
        if (!tabs) {
            at = std::min(line.find_first_not_of(' ', at), line.size());
        }
        const std::size_t end = std::min(line.find(tabs ? '\t' : ' ', at), line.size());
        fields.push_back(line.substr(at, end - at));
        at = end + 1;
    }
    return fields;
}

bool is_bed_header(std::string_view line) {
    const std::string_view word = line.substr(0, line.find_first_of(blanks));
    return line.front() == '#' || word == "track" || word == "browser";
}

ParsedRegion bed_region(const std::vector<std::string_view>& fields, const BedChoice& choice) {
    const std::optional<std::uint64_t> start = whole_number(fields[1], false);
    const std::optional<std::uint64_t> end = whole_number(fields[2], false);
    if (!start || !end) {
        const std::string_view bad = start ? fields[2] : fields[1];
        return RegionError{std::string(start ? "its end " : "its start ") + number_text(bad) + " is no whole number"};
    }
    if (*start > *end) {
        return RegionError{"its start (" + std::to_string(*start) + ") lies after its end (" + std::to_string(*end) +
                           ")"};
    }
    Region region;
    region.name = std::string(fields[0]);
    if (std::optional<RegionError> bad = check_name(region.name)) {
        return *bad;
    }
    region.begin = *start;
    region.end = *end;
    const std::string_view strand = fields.size() > 5 ? fields[5] : std::string_view(".");
    if (choice.strand && strand != "+" && strand != "-" && strand != ".") {
        return RegionError{"its strand " + number_text(strand) + " is none of +, - and ."};
    }
    region.reverse = choice.reverse || (choice.strand && strand == "-");
    if (choice.name_from_bed) {
        if (fields.size() < 4 || fields[3].empty()) {
            return RegionError{"it has no name (4th field) for --name-from-bed"};
        }
        region.header = std::string(fields[3]);
    } else {
        region.header = region.name + ':' + std::to_string(*start + 1) + '-' + std::to_string(*end);
    }
    if (region.reverse) {
        region.header += reverse_mark;
    }
    return region;
}

}  // namespace

ParsedRegion parse_region(std::string_view text, bool reverse) {
    Region region;
    std::string_view name = text;
    std::string_view range;
    if (text.starts_with('{')) {
        if (std::optional<RegionError> bad = split_braced(text, name, range)) {
            return *bad;
        }
    } else if (const std::size_t colon = text.rfind(':');
               colon != std::string_view::npos && looks_like_range(text.substr(colon + 1))) {
        name = text.substr(0, colon);
        range = text.substr(colon + 1);
    }
    if (std::optional<RegionError> bad = check_name(name)) {
        return *bad;
    }
    region.name = std::string(name);
    if (!range.empty()) {
        if (std::optional<RegionError> bad = take_range(range, region)) {
            return *bad;
        }
    }
    region.header = std::string(text);
    region.reverse = reverse;
    if (reverse) {
        region.header += reverse_mark;
    }
    return region;
}

BedLine parse_bed_line(std::string_view line, const BedChoice& choice) {
    // Only the end is trimmed: a line beginning with a tab has an empty first field.
    line = line.substr(0, line.find_last_not_of(blanks) + 1);
    if (trimmed(line).empty() || is_bed_header(line)) {
        return NotARegion{};
    }
    const std::vector<std::string_view> fields = bed_fields(line);
    if (fields.size() < 3) {
        return RegionError{"it has fewer than the 3 fields of a BED interval (NAME, START, END)"};
    }
    ParsedRegion region = bed_region(fields, choice);
    if (RegionError* const bad = std::get_if<RegionError>(&region)) {
        return *bad;
    }
    return std::get<Region>(std::move(region));
}

BedLine parse_region_line(std::string_view line, bool reverse) {
    line = trimmed(line);
    if (line.empty()) {
        return NotARegion{};
    }
    ParsedRegion region = parse_region(line, reverse);
    if (RegionError* const bad = std::get_if<RegionError>(&region)) {
        return *bad;
    }
    return std::get<Region>(std::move(region));
}

}  // namespace talmiro
