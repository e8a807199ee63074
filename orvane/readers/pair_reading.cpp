#include "orvane/readers/pair_reading.hpp"

#include "io/file_system.hpp"
#include "io/mapped_file.hpp"

#include "orvane/parse/number_parsing.hpp"
#include "orvane/parse/separator_scan.hpp"
#include "orvane/readers/pair_grid.hpp"
#include "orvane/readers/pair_lookups.hpp"
#include "orvane/readers/reading_errors.hpp"
#include "text/characters.hpp"
#include "text/quoting.hpp"
#include "threads/helper.hpp"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <limits>

#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace orvane {

namespace {

// The first three fields of a line: two IDs and a distance.
struct PairFields {
    std::string_view first;
    std::string_view second;
    std::string_view distance;
};

// Where the tab at or after `at` stands, or the line's end: sixteen bytes at a time where the
// line has them (IDs run to tens of bytes), then byte by byte.
std::size_t tab_from(std::string_view line, std::size_t at) {
#if defined(__SSE2__)
    const __m128i tab = _mm_set1_epi8('\t');
    for (; at + 16 <= line.size(); at += 16) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(line.data() + at));
        if (const int found = _mm_movemask_epi8(_mm_cmpeq_epi8(bytes, tab)); found != 0) {
            return at + static_cast<std::size_t>(std::countr_zero(static_cast<unsigned>(found)));
        }
    }
#endif
    while (at < line.size() && line[at] != '\t') {
        ++at;
    }
    return at;
}

std::string_view next_blank_separated(std::string_view& rest) {
    std::size_t begin = 0;
    while (begin < rest.size() && text::is_blank(rest[begin])) {
        ++begin;
    }
    std::size_t end = begin;
    while (end < rest.size() && !text::is_blank(rest[end])) {
        ++end;
    }
    const std::string_view field = rest.substr(begin, end - begin);
    rest.remove_prefix(end);
    return field;
}

// Where a tab-separated line's first three fields end: at a tab, or at the line's end where it
// has no more tabs.
struct TabbedEnds {
    std::size_t first;
    std::size_t second;
    std::size_t third;
};

TabbedEnds tabbed_ends(std::string_view line) {
    TabbedEnds ends{};
    ends.first = tab_from(line, 0);
    ends.second = ends.first == line.size() ? line.size() : tab_from(line, ends.first + 1);
    ends.third = ends.second == line.size() ? line.size() : tab_from(line, ends.second + 1);
    return ends;
}

bool split_at_tabs(std::string_view line, TabbedEnds ends, PairFields& fields) {
    if (ends.second + 1 >= line.size() || ends.third == ends.second + 1) {
        return false;
    }
    fields.first = line.substr(0, ends.first);
    fields.second = line.substr(ends.first + 1, ends.second - ends.first - 1);
    fields.distance = line.substr(ends.second + 1, ends.third - ends.second - 1);
    return !fields.first.empty() && !fields.second.empty();
}

// The two IDs and the distance; false when the line holds fewer than three fields.
bool split_at_blanks(std::string_view line, PairFields& fields) {
    std::string_view rest = line;
    fields.first = next_blank_separated(rest);
    fields.second = next_blank_separated(rest);
    fields.distance = next_blank_separated(rest);
    return !fields.first.empty() && !fields.second.empty() && !fields.distance.empty();
}

// Every two found IDs need a distance between them; a missing self-pair is 0.
std::optional<std::string> complete_diagonal_and_check(const IdTable& ids, PairGrid& grid) {
    const text::NameList& names = ids.ids();
    for (std::uint32_t row = 0; row < names.slot_count(); ++row) {
        if (ids.matrix_row(row) == IdTable::not_found) {
            continue;
        }
        for (std::uint32_t column = 0; column < names.slot_count(); ++column) {
            if (ids.matrix_row(column) == IdTable::not_found || grid.known(row, column)) {
                continue;
            }
            if (row == column) {
                double unused = 0;
                static_cast<void>(grid.give(row, row, 0.0, "0", unused));
                continue;
            }
            return "no distance between " + text::quoted(names.name(names.first_position(row))) + " and " +
                   text::quoted(names.name(names.first_position(column))) + " in either order";
        }
    }
    return std::nullopt;
}

PairMatrix gather(const IdTable& ids, const PairGrid& grid, bool keep_texts) {
    const std::size_t slots = ids.ids().slot_count();
    PairMatrix matrix{DistanceRows<double>(slots, slots), std::nullopt, slots};
    if (keep_texts) {
        matrix.texts.emplace(slots);
    }
    for (std::uint32_t row = 0; row < slots; ++row) {
        double* const values = matrix.rows.row(row);
        TextRow* const texts = keep_texts ? &matrix.texts->row(row) : nullptr;
        for (std::uint32_t column = 0; column < slots; ++column) {
            values[column] = grid.value(row, column);
            if (texts != nullptr) {
                texts->add(grid.text(row, column));
            }
        }
    }
    return matrix;
}

// The work of each line, for one reader of the whole file or for each half of it on its own
// thread: its own grid, lookups and found IDs.
class PairLines {
public:
    PairLines(IdTable& ids, bool keep_texts, bool allow_na)
        : ids_(ids), grid_(ids.slots_for(0), keep_texts), found_(ids.slots_for(0), false), allow_na_(allow_na) {}

    // Where the first pair line is already known (a file read in halves).
    void split_lines_at_tabs(bool tabbed) { tabbed_ = tabbed; }

    // Takes one line, its line break and carriage return removed; why it cannot be taken, when it
    // cannot.
    std::optional<std::string> take(std::string_view line) {
        if (line.empty()) {
            return std::nullopt;
        }
        if (!tabbed_ && line.find_first_not_of(" \t") != std::string_view::npos) {
            tabbed_ = pairs_split_at_tabs(line);
        }
        const bool split =
            tabbed_.value_or(false) ? split_at_tabs(line, tabbed_ends(line), fields_) : split_at_blanks(line, fields_);
        return take_fields(line, split);
    }

    // The same for a line of a tab-separated list whose field ends are already found.
    std::optional<std::string> take_tabbed(std::string_view line, TabbedEnds ends) {
        return line.empty() ? std::nullopt : take_fields(line, split_at_tabs(line, ends, fields_));
    }

    bool splits_at_tabs() const { return tabbed_.value_or(false); }

    // Takes in the lines of the file's later part, read by `later`; false where the two give one
    // pair two values (the one-thread reading then says where).
    bool follow_with(const PairLines& later) {
        for (std::size_t slot = 0; slot < later.found_.size(); ++slot) {
            if (later.found_[slot]) {
                find(slot);
            }
        }
        return grid_.follow_with(later.grid_);
    }

    // The IDs found become the table's found rows (each its own column).
    void settle_found() {
        for (std::size_t slot = 0; slot < found_.size(); ++slot) {
            if (found_[slot]) {
                ids_.set_matrix_row(static_cast<std::uint32_t>(slot), static_cast<std::int32_t>(slot));
            }
        }
    }

    PairGrid& grid() { return grid_; }
    const PairGrid& grid() const { return grid_; }

private:
    // The line's fields are in fields_ where `split`.
    std::optional<std::string> take_fields(std::string_view line, bool split) {
        if (!split) {
            if (line.find_first_not_of(" \t") == std::string_view::npos) {
                return std::nullopt;
            }
            return "a pair line needs two IDs and a distance, not " + text::quoted(line);
        }
        std::int64_t row = -1;
        std::int64_t column = -1;
        if (ids_.excludes()) {
            // The IDs are gathered in the order the lines name them.
            if (!second_.holds(fields_.second)) {
                first_.begin_run();
            }
            row = first_.slot_of(ids_, fields_.first);
            column = second_.slot_of(ids_, fields_.second);
        } else {
            // Pair lists come in runs of one second ID; once every listed ID is found, a run of an
            // unlisted one holds nothing for the cut.
            bool new_run = false;
            column = second_.slot_of(ids_, fields_.second, new_run);
            if (column < 0 && found_count_ == ids_.ids().slot_count()) {
                return refuse_no_number(line);
            }
            if (new_run) {
                first_.begin_run();
            }
            row = first_.slot_of(ids_, fields_.first);
        }
        for (const std::int64_t slot : {row, column}) {
            if (slot >= 0) {
                find(static_cast<std::size_t>(slot));
            }
        }
        // Every distance is read as a number, a pair's nobody listed too: a file the whole-file
        // read of a square matrix would refuse is refused here as well.
        if (row < 0 || column < 0) {
            return refuse_no_number(line);
        }
        const auto [value, no_number] = distance_of(line);
        if (no_number) {
            return no_number;
        }
        grid_.grow(static_cast<std::size_t>(std::max(row, column)) + 1);
        double earlier = 0;
        if (!grid_.give(static_cast<std::size_t>(row), static_cast<std::size_t>(column), value, fields_.distance,
                        earlier)) {
            ShortestText room{};
            return "the distance from " + text::quoted(fields_.first) + " to " + text::quoted(fields_.second) +
                   " is given twice, as " + std::string(shortest_text(earlier, room)) + " and as " +
                   std::string(fields_.distance);
        }
        return std::nullopt;
    }

    // Why the line's distance is no number, if it is none; most are plainly numbers, told so
    // without being converted, as a pair nobody listed needs no value.
    std::optional<std::string> refuse_no_number(std::string_view line) {
        return plainly_a_number(fields_.distance) || (allow_na_ && is_missing_value(fields_.distance))
                   ? std::nullopt
                   : distance_of(line).second;
    }

    // The line's distance as a number, or why it is none.
    std::pair<double, std::optional<std::string>> distance_of(std::string_view line) {
        double value = 0;
        const char* const end = fields_.distance.data() + fields_.distance.size();
        if (allow_na_ && is_missing_value(fields_.distance)) {
            return {std::numeric_limits<double>::quiet_NaN(), std::nullopt};  // its text goes out as it stands
        }
        if (parse_number(fields_.distance.data(), line.data() + line.size(), value) != end) {
            return {0, "the distance from " + text::quoted(fields_.first) + " to " + text::quoted(fields_.second) +
                           ": " + text::quoted(fields_.distance) + " is no number"};
        }
        return {value, std::nullopt};
    }

    void find(std::size_t slot) {
        if (slot >= found_.size()) {
            found_.resize(slot + 1, false);
        }
        found_count_ += found_[slot] ? 0 : 1;
        found_[slot] = true;
    }

    IdTable& ids_;
    PairGrid grid_;
    RunLookup first_;
    CachedLookup second_;
    PairFields fields_;
    std::vector<bool> found_;
    std::size_t found_count_ = 0;
    std::optional<bool> tabbed_;
    bool allow_na_;
};

// The whole file on this thread, through its reader's windows.
std::optional<io::IoError> read_lines_here(io::LineReader& pairs, PairLines& lines, const io::Progress& progress) {
    const PairGrid& grid = lines.grid();
    // Lines this short are found faster in copied windows (read ahead on a helper) than through
    // the mapping, whose page walks cost more than the copy.
    pairs.window().copy_from_here();
    // Each pair given, and its mirror, fill the sub-matrix's cells. The meter moves when they
    // do: most lines give no listed pair, and once every cell is filled the rest of the file
    // would redraw 100% a line (hundreds of thousands of lines, each drawn and pushed out).
    const auto cells = static_cast<std::int64_t>(grid.side() * grid.side());
    std::int64_t shown = 0;
    std::uint64_t line_number = 0;
    while (!pairs.at_end_of_file()) {
        ++line_number;
        if (auto refused = lines.take(io::without_carriage_return(pairs.take_until('\n')))) {
            return io::IoError::bad_content(pairs.input().name(), std::move(*refused), line_number);
        }
        if (cells > 0) {
            const std::int64_t percent =
                io::percentage(std::min(2 * static_cast<std::int64_t>(grid.given()), cells), cells);
            if (percent != shown) {
                progress.step(percent);
                shown = percent;
            }
        }
    }
    if (pairs.input().error()) {
        return *pairs.input().error();
    }
    return std::nullopt;
}

// Takes the whole lines of `text`, a tab-separated list's, finding their fields from one scan of
// every separator; where the lines end (the unfinished one's start), or none where one is
// refused.
std::optional<std::size_t> take_tabbed_lines(std::string_view text, PairLines& lines) {
    SeparatorScan scan(text);
    std::size_t line_start = 0;
    for (;;) {
        std::array<std::size_t, 3> tabs{};
        std::size_t found = 0;
        bool line_break = false;
        std::size_t at = scan.next(line_break);
        for (; at < text.size() && !line_break; at = scan.next(line_break)) {
            if (found < tabs.size()) {
                tabs[found++] = at - line_start;
            }
        }
        if (at == text.size()) {
            return line_start;
        }
        // A carriage return before the break is no field's: the last field ends before it.
        const std::string_view line = io::without_carriage_return(text.substr(line_start, at - line_start));
        std::fill(tabs.begin() + static_cast<std::ptrdiff_t>(found), tabs.end(), line.size());
        if (lines.take_tabbed(line, TabbedEnds{tabs[0], tabs[1], tabs[2]})) {
            return std::nullopt;
        }
        line_start = at + 1;
    }
}

// The same for any list, a line at a time.
std::optional<std::size_t> take_lines(std::string_view text, PairLines& lines) {
    if (lines.splits_at_tabs()) {
        return take_tabbed_lines(text, lines);
    }
    std::size_t line_start = 0;
    for (std::size_t line_end = text.find('\n'); line_end != std::string_view::npos;
         line_end = text.find('\n', line_start)) {
        if (lines.take(io::without_carriage_return(text.substr(line_start, line_end - line_start)))) {
            return std::nullopt;
        }
        line_start = line_end + 1;
    }
    return line_start;
}

// Lines of [begin, end) of a file, read with pread a megabyte at a time; false at a read error,
// a refused line, or a line of more than a megabyte (which the one-thread reading takes without
// searching its start again for each megabyte).
bool take_lines_between(int descriptor, std::uint64_t begin, std::uint64_t end, PairLines& lines) {
    constexpr std::size_t chunk = std::size_t{1} << 20;
    std::string buffer;
    std::size_t kept = 0;  // an unfinished line carried to the next chunk
    for (std::uint64_t at = begin; at < end;) {
        const std::size_t wanted = static_cast<std::size_t>(std::min<std::uint64_t>(chunk, end - at));
        buffer.resize(kept + wanted);
        const std::optional<std::size_t> got = io::read_at(descriptor, at, buffer.data() + kept, wanted);
        if (!got || *got == 0) {
            return false;
        }
        at += *got;
        const std::string_view text(buffer.data(), kept + *got);
        const std::optional<std::size_t> taken = take_lines(text, lines);
        if (!taken || text.size() - *taken > chunk) {
            return false;
        }
        kept = text.size() - *taken;
        std::memmove(buffer.data(), buffer.data() + *taken, kept);
    }
    return kept == 0 || !lines.take(io::without_carriage_return(std::string_view(buffer.data(), kept)));
}

// Where a file of pairs is worth reading in two halves: a plain file of some size (any, when two
// cores are forced), listed IDs (an exclusion gathers IDs in line order, which one thread keeps),
// a second core.
constexpr std::uint64_t least_for_halves = std::uint64_t{32} << 20;
constexpr std::size_t most_ids_for_halves = 4096;

// How a list's lines split, as its first line that is not blank tells the one-thread reading;
// none where the text holds no such whole line.
std::optional<bool> first_line_splits_at_tabs(std::string_view text) {
    std::size_t line_start = 0;
    for (std::size_t line_end = text.find('\n'); line_end != std::string_view::npos;
         line_end = text.find('\n', line_start)) {
        const std::string_view line = io::without_carriage_return(text.substr(line_start, line_end - line_start));
        if (line.find_first_not_of(" \t") != std::string_view::npos) {
            return pairs_split_at_tabs(line);
        }
        line_start = line_end + 1;
    }
    return std::nullopt;
}

// The file read in two halves at once, each on its own thread, then joined: false where it
// cannot be (an error, a line refused, two values for one pair, the file changed), for the
// one-thread reading to do it all and say exactly what and where.
bool read_in_halves(const io::LineReader& pairs, IdTable& ids, bool keep_texts, bool allow_na, PairLines& whole,
                    threads::Cores cores) {
    const io::InputFile* const file = pairs.input().plain_file();
    // The second half fills a grid of its own: only where that costs little beside the output.
    if (file == nullptr || ids.excludes() || ids.ids().slot_count() > most_ids_for_halves ||
        !threads::second_core(cores)) {
        return false;
    }
    const int descriptor = file->descriptor();
    const std::optional<io::FileStamp> before = io::stamp_of(descriptor);
    if (!before || (cores != threads::Cores::two && before->size < least_for_halves)) {
        return false;
    }
    const std::uint64_t begin = pairs.input().file_offset(pairs.input().pos());
    const std::uint64_t size = before->size;
    // The first pair line says how lines split; the second half starts after a line break.
    std::string start(std::size_t{1} << 16, '\0');
    const std::optional<std::size_t> read = io::read_at(descriptor, begin, start.data(), start.size());
    std::string middle(std::size_t{1} << 16, '\0');
    const std::uint64_t half = begin + (size - begin) / 2;
    const std::optional<std::size_t> middle_read = io::read_at(descriptor, half, middle.data(), middle.size());
    if (!read || *read == 0 || !middle_read || *middle_read == 0) {
        return false;
    }
    start.resize(*read);
    middle.resize(*middle_read);
    const std::optional<bool> tabbed = first_line_splits_at_tabs(start);
    const std::size_t break_in_middle = middle.find('\n');
    if (!tabbed || break_in_middle == std::string::npos) {
        return false;
    }
    const std::uint64_t split = half + break_in_middle + 1;
    whole.split_lines_at_tabs(*tabbed);
    PairLines later(ids, keep_texts, allow_na);
    later.split_lines_at_tabs(*tabbed);
    bool later_whole = false;
    {
        threads::Helper helper(
            [&](const std::stop_token&) { later_whole = take_lines_between(descriptor, split, size, later); });
        const bool earlier_whole = take_lines_between(descriptor, begin, split, whole);
        if (!helper.running()) {
            later_whole = take_lines_between(descriptor, split, size, later);
        }
        helper.stop();
        if (!earlier_whole) {
            return false;
        }
    }
    if (!later_whole || io::stamp_of(descriptor) != before) {
        return false;
    }
    return whole.follow_with(later);
}

}  // namespace

std::optional<io::IoError> read_pairs(io::LineReader& pairs, IdTable& ids, bool keep_texts,
                                      const io::Progress& progress, std::optional<PairMatrix>& matrix,
                                      threads::Cores cores, bool allow_na) {
    pairs.skip_byte_order_mark();
    progress.begin();
    std::optional<PairLines> lines(std::in_place, ids, keep_texts, allow_na);
    if (!read_in_halves(pairs, ids, keep_texts, allow_na, *lines, cores)) {
        lines.emplace(ids, keep_texts, allow_na);
        if (auto failure = read_lines_here(pairs, *lines, progress)) {
            return failure;
        }
    }
    ids.take_gathered_ids();
    lines->settle_found();
    PairGrid& grid = lines->grid();
    grid.grow(ids.ids().slot_count());
    if (auto missing = complete_diagonal_and_check(ids, grid)) {
        return io::IoError::bad_content(pairs.input().name(), std::move(*missing));
    }
    progress.step(100);
    matrix.emplace(gather(ids, grid, keep_texts));
    return std::nullopt;
}

}  // namespace orvane
