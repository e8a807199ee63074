#include "talmiro/regions/region_cutting.hpp"

#include "io/line_reader.hpp"

#include <algorithm>
#include <array>

namespace talmiro {

namespace {

// samtools' complements: the IUPAC pairs both ways in either case, U to A; every other byte
// stays.
constexpr std::array<char, 256> complements = [] {
    std::array<char, 256> table{};
    for (std::size_t byte = 0; byte < table.size(); ++byte) {
        table[byte] = static_cast<char>(byte);
    }
    constexpr std::string_view pairs[] = {"AT", "CG", "RY", "KM", "BV", "DH"};
    for (const std::string_view pair : pairs) {
        for (const char offset : {0, 'a' - 'A'}) {
            const char first = static_cast<char>(pair[0] + offset);
            const char second = static_cast<char>(pair[1] + offset);
            table[static_cast<unsigned char>(first)] = second;
            table[static_cast<unsigned char>(second)] = first;
        }
    }
    table['U'] = 'A';
    table['u'] = 'a';
    return table;
}();

void append_wrapped(std::string_view text, std::uint32_t width, std::string& into) {
    const std::size_t step = width == 0 ? std::max<std::size_t>(text.size(), 1) : width;
    for (std::size_t at = 0; at < text.size(); at += step) {
        into.append(text.substr(at, step)).push_back('\n');
    }
}

}  // namespace

void RegionCutter::start(RecordFormat format, std::span<const Region* const> regions) {
    format_ = format;
    regions_ = regions;
    cuts_.assign(regions.size(), RegionCut{});
    by_begin_.resize(regions.size());
    for (std::size_t nth = 0; nth < regions.size(); ++nth) {
        by_begin_[nth] = nth;
    }
    std::stable_sort(by_begin_.begin(), by_begin_.end(),
                     [&](std::size_t a, std::size_t b) { return regions[a]->begin < regions[b]->begin; });
    next_ = 0;
    active_.clear();
    in_header_ = true;
    return_pending_ = false;
    position_ = 0;
    fastq_.clear();
}

void RegionCutter::add(std::string_view piece) {
    if (in_header_) {
        const std::size_t line_end = piece.find('\n');
        if (line_end == std::string_view::npos) {
            return;
        }
        piece.remove_prefix(line_end + 1);
        in_header_ = false;
    }
    if (format_ == RecordFormat::fastq) {
        fastq_.append(piece);  // a read is short: cut once whole
        return;
    }
    if (return_pending_ && !piece.empty()) {
        return_pending_ = false;
        if (piece.front() != '\n') {
            take_sequence("\r");
        }
    }
    while (!piece.empty()) {
        const std::size_t line_end = piece.find('\n');
        std::string_view line = piece.substr(0, line_end);
        if (line.ends_with('\r')) {
            line.remove_suffix(1);
            return_pending_ = line_end == std::string_view::npos;
        }
        take_sequence(line);
        piece.remove_prefix(line_end == std::string_view::npos ? piece.size() : line_end + 1);
    }
}

void RegionCutter::take_sequence(std::string_view line) {
    const std::uint64_t from = position_;
    const std::uint64_t to = position_ + line.size();
    while (next_ < by_begin_.size() && regions_[by_begin_[next_]]->begin < to) {
        active_.push_back(by_begin_[next_++]);
    }
    for (std::size_t at = 0; at < active_.size();) {
        const Region& region = *regions_[active_[at]];
        const std::uint64_t low = std::max(region.begin, from);
        const std::uint64_t high = std::min(region.end, to);
        if (low < high) {
            cuts_[active_[at]].bases.append(line.substr(low - from, high - low));
        }
        if (region.end <= to) {
            active_[at] = active_.back();
            active_.pop_back();
        } else {
            ++at;
        }
    }
    position_ = to;
}

void RegionCutter::end_record() {
    if (format_ == RecordFormat::fastq) {
        finish_fastq();
    }
    // A carriage return closing the text ends its last line, as one before a line break does.
    return_pending_ = false;
}

// The record's sequence lines run to its '+' line; every line after it is quality, as the
// scan has already proved.
void RegionCutter::finish_fastq() {
    std::string bases;
    std::string qualities;
    bool in_qualities = false;
    std::string_view rest = fastq_;
    while (!rest.empty()) {
        const std::size_t line_end = rest.find('\n');
        const std::string_view line = io::without_carriage_return(rest.substr(0, line_end));
        if (!in_qualities && rest.starts_with('+')) {
            in_qualities = true;
        } else {
            (in_qualities ? qualities : bases).append(line);
        }
        rest.remove_prefix(line_end == std::string_view::npos ? rest.size() : line_end + 1);
    }
    position_ = bases.size();
    for (std::size_t nth = 0; nth < regions_.size(); ++nth) {
        const Region& region = *regions_[nth];
        cuts_[nth].bases = clipped(bases, region.begin, region.end);
        cuts_[nth].qualities = clipped(qualities, region.begin, region.end);
    }
}

std::string_view clipped(std::string_view bases, std::uint64_t begin, std::uint64_t end) {
    const std::size_t first = static_cast<std::size_t>(std::min<std::uint64_t>(begin, bases.size()));
    const std::size_t last = static_cast<std::size_t>(std::min<std::uint64_t>(end, bases.size()));
    return bases.substr(first, std::max(first, last) - first);
}

void reverse_complement(std::string& bases) {
    std::reverse(bases.begin(), bases.end());
    for (char& base : bases) {
        base = complements[static_cast<unsigned char>(base)];
    }
}

void write_region(const Region& region, RecordFormat format, RegionCut& cut, std::uint32_t width, std::string& into) {
    if (region.reverse) {
        reverse_complement(cut.bases);
        std::reverse(cut.qualities.begin(), cut.qualities.end());
    }
    into.append(region.header).push_back('\n');
    append_wrapped(cut.bases, width, into);
    if (format == RecordFormat::fastq) {
        into.append("+\n");
        append_wrapped(cut.qualities, width, into);
    }
}

}  // namespace talmiro
