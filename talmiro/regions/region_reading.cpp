#include "talmiro/regions/region_reading.hpp"

#include "index/trust.hpp"
#include "talmiro/index/located_records.hpp"
#include "talmiro/match/name_selection.hpp"
#include "talmiro/regions/region_cutting.hpp"
#include "text/quoting.hpp"

#include <algorithm>
#include <cstring>
#include <unordered_map>

namespace talmiro {

namespace {

CutRegions begin_cut(const RegionJob& job, RecordFormat format) {
    CutRegions cut;
    cut.format = format;
    cut.record_bases.assign(job.regions.size(), std::nullopt);
    return cut;
}

// Regions `chosen` (places in the given order) put in file order: by first base, the given
// order kept among equals.
void sort_by_begin(const std::vector<Region>& regions, std::vector<std::size_t>& chosen) {
    std::stable_sort(chosen.begin(), chosen.end(),
                     [&](std::size_t a, std::size_t b) { return regions[a].begin < regions[b].begin; });
}

// Keeps the output of region `nth`, cut from a record of `record_bases` bases.
void keep_output(CutRegions& cut, const RegionJob& job, std::size_t nth, RegionCut& region_cut,
                 std::uint64_t record_bases, std::string& scratch) {
    scratch.assign(1, marker_of(cut.format));
    write_region(job.regions[nth], cut.format, region_cut, job.line_width, scratch);
    cut.record_bases[nth] = record_bases;
    job.outputs.keep(nth, scratch);
}

// Cuts the regions `chosen` (places in the given order, kept in the order listed) from the
// record that `read` hands on.
void cut_record(CutRegions& cut, const RegionJob& job, const std::vector<std::size_t>& chosen, RegionCutter& cutter,
                const std::function<void(RecordSink&)>& read, std::string& scratch) {
    std::vector<const Region*> regions;
    for (const std::size_t nth : chosen) {
        regions.push_back(&job.regions[nth]);
    }
    cutter.start(cut.format, regions);
    read(cutter);
    for (std::size_t at = 0; at < chosen.size(); ++at) {
        keep_output(cut, job, chosen[at], cutter.cuts()[at], cutter.bases(), scratch);
    }
}

}  // namespace

void SpooledRegions::keep(std::size_t nth, std::string_view text) {
    if (!kept_) {
        const RecordFormat format =
            text.starts_with(marker_of(RecordFormat::fastq)) ? RecordFormat::fastq : RecordFormat::fasta;
        kept_.emplace(format, count_, spool_folder_, budget_);
    }
    kept_->begin_record(static_cast<std::int64_t>(nth));
    kept_->add(text.substr(1));  // its marker is written back with it
    kept_->end_record();
}

std::uint64_t SpooledRegions::write(bool as_cut, const std::function<void(std::string_view)>& use) {
    if (!kept_) {
        return 0;
    }
    if (as_cut) {
        return kept_->write_as_taken(use);
    }
    kept_->arrange();
    std::uint64_t written = 0;
    for (std::size_t nth = 0; nth < count_; ++nth) {
        written += kept_->write(static_cast<std::uint32_t>(nth), use);
    }
    return written;
}

CutRegions cut_from_scan(RecordScanner& records, const RegionJob& job, const io::Progress& progress) {
    CutRegions cut = begin_cut(job, records.format());
    std::unordered_map<std::string_view, std::vector<std::size_t>> by_name;
    std::size_t longest = 0;
    for (std::size_t nth = 0; nth < job.regions.size(); ++nth) {
        by_name[job.regions[nth].name].push_back(nth);
        longest = std::max(longest, job.regions[nth].name.size());
    }
    progress.begin();
    std::size_t found = 0;
    RegionCutter cutter;
    std::string scratch;
    HeaderLine header;
    while (records.next(longest + 1, header)) {
        const std::string_view name = first_word(header.text);
        const bool whole_name = header.whole || name.size() < header.text.size();
        const auto named = whole_name ? by_name.find(name) : by_name.end();
        // A name means the first record of that name, as an index and samtools take it.
        if (named == by_name.end() || named->second.empty()) {
            records.skip();
            continue;
        }
        std::vector<std::size_t> chosen = std::move(named->second);
        named->second.clear();
        sort_by_begin(job.regions, chosen);
        cut_record(
            cut, job, chosen, cutter, [&](RecordSink& sink) { records.take(sink); }, scratch);
        progress.step(io::percentage(static_cast<std::int64_t>(++found), static_cast<std::int64_t>(by_name.size())));
    }
    cut.records = records.records();
    return cut;
}

namespace {

// A region's place, once its record is looked up.
struct LocatedRegion {
    std::size_t nth;  // in the given order
    LocatedRecord record;
};

// Reads the bases [begin, end) of a record whose lines are alike from where they lie, holding
// each line break to be where the index says.
class AlikeLines {
public:
    AlikeLines(const io::InputFile& file, const LoadedIndex& index, io::BgzfMemberCache& cache,
               const LocatedRecord& record, const LineGeometry& lines)
        : file_(file), index_(index), cache_(cache), record_(record), lines_(lines) {}

    RegionCut read(std::uint64_t begin, std::uint64_t end) const;

    // Where the bases [begin, end) lie in the text, as far as the record holds them.
    io::TextRange text_of(std::uint64_t begin, std::uint64_t end) const {
        end = std::min(end, lines_.bases);
        return begin < end ? io::TextRange{byte_of(begin), byte_of(end - 1) + 1} : io::TextRange{0, 0};
    }

private:
    std::uint64_t byte_of(std::uint64_t base) const {
        return record_.offset + lines_.sequence_start + base / lines_.line_bases * lines_.line_width +
               base % lines_.line_bases;
    }
    [[noreturn]] void fail(std::string_view what) const;
    void take(std::string_view piece, std::uint64_t& column, std::string& into) const;

    const io::InputFile& file_;
    const LoadedIndex& index_;
    io::BgzfMemberCache& cache_;
    const LocatedRecord& record_;
    const LineGeometry& lines_;
};

void AlikeLines::fail(std::string_view what) const {
    throw indexing::does_not_match(index_.tix.file().path(), file_.name(),
                                   "record " + text::quoted(index_.tix.table().name_of(record_.number)) + " at byte " +
                                       std::to_string(record_.offset) + ": " + std::string(what));
}

// The bases of `piece` into `into`; `column` is where in its line the piece begins.
void AlikeLines::take(std::string_view piece, std::uint64_t& column, std::string& into) const {
    while (!piece.empty()) {
        if (column < lines_.line_bases) {
            const std::size_t count =
                static_cast<std::size_t>(std::min<std::uint64_t>(lines_.line_bases - column, piece.size()));
            if (std::memchr(piece.data(), '\n', count) != nullptr) {
                fail("a line ends before the index says");
            }
            into.append(piece.substr(0, count));
            column += count;
            piece.remove_prefix(count);
            continue;
        }
        const bool last = column + 1 == lines_.line_width;
        if (piece.front() != (last ? '\n' : '\r')) {
            fail("a line does not end where the index says");
        }
        column = last ? 0 : column + 1;
        piece.remove_prefix(1);
    }
}

RegionCut AlikeLines::read(std::uint64_t begin, std::uint64_t end) const {
    RegionCut cut;
    end = std::min(end, lines_.bases);
    if (begin >= end) {
        return cut;
    }
    const io::TextRange range = text_of(begin, end);
    const std::uint64_t first = range.begin;
    const std::unique_ptr<io::ByteSource> source =
        io::open_region(file_, first, range.end, index_.member_list(), &cache_);
    cut.bases.reserve(static_cast<std::size_t>(end - begin));
    std::uint64_t column = (first - record_.offset - lines_.sequence_start) % lines_.line_width;
    char buffer[1 << 16];
    while (const std::size_t count = source->read(buffer, sizeof buffer)) {
        take(std::string_view(buffer, count), column, cut.bases);
    }
    if (source->error() || cut.bases.size() != end - begin) {
        fail("the file ends inside it");
    }
    return cut;
}

bool lines_alike(const std::optional<LineGeometry>& lines) {
    return lines && lines->line_bases > 0 && lines->line_width > lines->line_bases &&
           lines->sequence_start != LineGeometry::none_known;
}

// The record's lines, where the index holds them alike.
std::optional<LineGeometry> alike_lines(const LoadedIndex& index, const LocatedRecord& record) {
    std::optional<LineGeometry> lines =
        index.format() == RecordFormat::fasta ? index.tix.geometry_of(record.number) : std::nullopt;
    return lines_alike(lines) ? lines : std::nullopt;
}

// Every stretch of text the groups of `located` will read, in their order, for inflating ahead.
std::vector<io::TextRange> text_to_read(const io::InputFile& file, const LoadedIndex& index, const RegionJob& job,
                                        const std::vector<LocatedRegion>& located, io::BgzfMemberCache& cache) {
    std::vector<io::TextRange> ranges;
    for (std::size_t at = 0; at < located.size(); ++at) {
        const LocatedRecord& record = located[at].record;
        const bool group_start = at == 0 || located[at - 1].record.number != record.number;
        if (const std::optional<LineGeometry> lines = alike_lines(index, record)) {
            const Region& region = job.regions[located[at].nth];
            ranges.push_back(AlikeLines(file, index, cache, record, *lines).text_of(region.begin, region.end));
        } else if (group_start) {
            ranges.push_back(text_read_for(record));
        }
    }
    return ranges;
}

// Cuts the regions of one record (`group`, kept in its order), through its geometry where its
// lines are alike, by reading it whole otherwise.
void cut_located(CutRegions& cut, const RegionJob& job, const io::InputFile& file, const LoadedIndex& index,
                 io::BgzfMemberCache& cache, std::span<const LocatedRegion> group, RegionCutter& cutter,
                 std::string& scratch) {
    const LocatedRecord& record = group.front().record;
    if (const std::optional<LineGeometry> lines = alike_lines(index, record)) {
        const AlikeLines reader(file, index, cache, record, *lines);
        for (const LocatedRegion& located : group) {
            const Region& region = job.regions[located.nth];
            RegionCut region_cut = reader.read(region.begin, region.end);
            keep_output(cut, job, located.nth, region_cut, lines->bases, scratch);
        }
        return;
    }
    std::vector<std::size_t> chosen;
    for (const LocatedRegion& located : group) {
        chosen.push_back(located.nth);
    }
    const auto read = [&](RecordSink& sink) {
        read_located(file, index, cache, record, [&](const HeaderLine&) { return &sink; });
    };
    cut_record(cut, job, chosen, cutter, read, scratch);
}

CutRegions cut_indexed(const io::InputFile& file, const LoadedIndex& index, const RegionJob& job,
                       const io::Progress& progress) {
    CutRegions cut = begin_cut(job, index.format());
    cut.records = index.tix.facts().records;
    const RecordTable table = index.tix.table();
    std::vector<LocatedRegion> located;
    for (std::size_t nth = 0; nth < job.regions.size(); ++nth) {
        const auto [first, last] = table.named(job.regions[nth].name);
        if (first < last) {
            located.push_back({nth, table.at(first)});
        }
    }
    // In file order, so that regions sharing a stretch of the file read it once, unless each
    // output is written as it is cut.
    if (!job.in_given_order) {
        std::stable_sort(located.begin(), located.end(), [&](const LocatedRegion& a, const LocatedRegion& b) {
            return a.record.number != b.record.number ? a.record.number < b.record.number
                                                      : job.regions[a.nth].begin < job.regions[b.nth].begin;
        });
    }
    progress.begin();
    io::BgzfMemberCache cache;
    if (index.member_list() != nullptr) {  // a plain file has nothing to inflate: no plan to make
        inflate_ahead(file, index, text_to_read(file, index, job, located, cache), cache);
    }
    RegionCutter cutter;
    std::string scratch;
    for (std::size_t at = 0; at < located.size();) {
        std::size_t group_end = at + 1;
        while (group_end < located.size() && located[group_end].record.number == located[at].record.number) {
            ++group_end;
        }
        cut_located(cut, job, file, index, cache, std::span(located).subspan(at, group_end - at), cutter, scratch);
        ++cut.located;
        at = group_end;
        progress.step(io::percentage(static_cast<std::int64_t>(at), static_cast<std::int64_t>(located.size())));
    }
    return cut;
}

}  // namespace

std::optional<CutRegions> cut_through_index(const indexing::Reporting& reporting, const io::InputFile& file,
                                            const RegionJob& job, const io::Progress& progress, std::string& not_used) {
    try {
        const std::optional<LoadedIndex> index = open_index(reporting, file, not_used);
        if (!index) {
            return std::nullopt;
        }
        return cut_indexed(file, *index, job, progress);
    } catch (const indexing::Untrusted& untrusted) {
        reporting.warn(indexing::reading_whole(untrusted));
        not_used = "its index cannot be trusted";
        return std::nullopt;
    }
}

}  // namespace talmiro
