#include "orvane/pair_reading.hpp"

#include "orvane/number_parsing.hpp"
#include "orvane/reading_errors.hpp"
#include "text/characters.hpp"
#include "text/quoting.hpp"

#include <algorithm>
#include <bit>
#include <array>
#include <charconv>
#include <cstring>
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

// False when the line holds fewer than three fields.
bool split_pair(std::string_view line, bool tabbed, PairFields& fields) {
    if (tabbed) {
        const std::size_t first_end = tab_from(line, 0);
        const std::size_t second_end = tab_from(line, first_end + 1);
        if (second_end >= line.size()) {
            return false;
        }
        const std::size_t distance_end = tab_from(line, second_end + 1);
        fields.first = line.substr(0, first_end);
        fields.second = line.substr(first_end + 1, second_end - first_end - 1);
        fields.distance = line.substr(second_end + 1, distance_end - second_end - 1);
    } else {
        std::string_view rest = line;
        fields.first = next_blank_separated(rest);
        fields.second = next_blank_separated(rest);
        fields.distance = next_blank_separated(rest);
    }
    return !fields.first.empty() && !fields.second.empty() && !fields.distance.empty();
}

// The slot of the ID last looked up, looked up again only when the ID changes: pair lists come
// grouped by one of their two IDs.
class CachedLookup {
public:
    std::int64_t slot_of(IdTable& ids, std::string_view name) {
        if (!looked_up_ || name != last_) {
            last_.assign(name);
            slot_ = ids.slot_of_row(name);
            looked_up_ = true;
        }
        return slot_;
    }

private:
    std::string last_;
    std::int64_t slot_ = -1;
    bool looked_up_ = false;
};

// The cells of the sub-matrix as the lines fill them, each cell's value, state and text together
// (one cache line touched per cell), the texts back to back in one arena. It grows when
// excluding, as IDs come.
class PairGrid {
public:
    enum class State : std::uint8_t { none, mirrored, given };

    PairGrid(std::size_t side, bool keep_texts) : keep_texts_(keep_texts) { grow(side); }

    std::size_t side() const { return side_; }
    void grow(std::size_t wanted) {
        if (wanted <= side_) {
            return;
        }
        const std::size_t side = std::max(wanted, 2 * side_);
        std::vector<Cell> cells(side * side);
        for (std::size_t row = 0; row < side_; ++row) {
            std::copy_n(cells_.begin() + static_cast<std::ptrdiff_t>(row * side_), side_,
                        cells.begin() + static_cast<std::ptrdiff_t>(row * side));
        }
        side_ = side;
        cells_ = std::move(cells);
    }

    // False when the pair was given before with another value, which `earlier` then holds.
    bool give(std::size_t row, std::size_t column, double value, std::string_view text, double& earlier) {
        Cell& cell = cells_[row * side_ + column];
        if (cell.state == State::given) {
            earlier = cell.value;
            return cell.value == value;
        }
        const Cell given = {value, keep(text), static_cast<std::uint32_t>(text.size()), State::given};
        filled_ += cell.state == State::none ? 1 : 0;
        cell = given;
        if (Cell& mirror = cells_[column * side_ + row]; mirror.state == State::none) {
            ++filled_;
            mirror = given;
            mirror.state = State::mirrored;
        }
        return true;
    }

    State state(std::size_t row, std::size_t column) const { return cells_[row * side_ + column].state; }
    double value(std::size_t row, std::size_t column) const { return cells_[row * side_ + column].value; }
    std::string_view text(std::size_t row, std::size_t column) const {
        const Cell& cell = cells_[row * side_ + column];
        return std::string_view(texts_).substr(cell.text_begin, cell.text_size);
    }
    std::size_t filled() const { return filled_; }

private:
    struct Cell {
        double value = 0;
        std::uint64_t text_begin = 0;
        std::uint32_t text_size = 0;
        State state = State::none;
    };

    std::uint64_t keep(std::string_view text) {
        if (!keep_texts_) {
            return 0;
        }
        const std::uint64_t begin = texts_.size();
        texts_.append(text);
        return begin;
    }

    bool keep_texts_;
    std::size_t side_ = 0;
    std::size_t filled_ = 0;
    std::vector<Cell> cells_;
    std::string texts_;
};

std::string shortest_text(double value) {
    std::array<char, 32> text{};
    const char* const end = std::to_chars(text.data(), text.data() + text.size(), value).ptr;
    return std::string(text.data(), static_cast<std::size_t>(end - text.data()));
}

// Every two found IDs need a distance between them; a missing self-pair is 0.
std::optional<std::string> complete_diagonal_and_check(const IdTable& ids, PairGrid& grid) {
    const text::NameList& names = ids.ids();
    for (std::uint32_t row = 0; row < names.slot_count(); ++row) {
        if (ids.matrix_row(row) == IdTable::not_found) {
            continue;
        }
        for (std::uint32_t column = 0; column < names.slot_count(); ++column) {
            if (ids.matrix_row(column) == IdTable::not_found || grid.state(row, column) != PairGrid::State::none) {
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
        matrix.texts.emplace(slots, '\t');
    }
    std::string line;
    for (std::uint32_t row = 0; row < slots; ++row) {
        double* const values = matrix.rows.row(row);
        line.clear();
        for (std::uint32_t column = 0; column < slots; ++column) {
            values[column] = grid.value(row, column);
            if (keep_texts) {
                line.append("\t").append(grid.text(row, column));
            }
        }
        if (keep_texts) {
            matrix.texts->keep(row, line);
        }
    }
    return matrix;
}

}  // namespace

std::optional<io::IoError> read_pairs(io::LineReader& pairs, IdTable& ids, bool keep_texts, console::Meter& meter,
                                      std::optional<PairMatrix>& matrix) {
    pairs.skip_byte_order_mark();
    // Lines this short are found faster in copied windows (read ahead on a helper) than through
    // the mapping, whose page walks cost more than the copy.
    pairs.window().copy_from_here();
    std::optional<bool> tabbed;  // where the first pair line holds a tab, every line is split at tabs
    const auto at_line = [&](std::uint64_t line, std::string reason) {
        return io::IoError::bad_content(pairs.input().name(), std::move(reason), line);
    };
    PairGrid grid(ids.slots_for(0), keep_texts);
    const auto cells = static_cast<std::int64_t>(grid.side() * grid.side());
    meter.begin(reading_label);
    CachedLookup first;
    CachedLookup second;
    PairFields fields;
    std::uint64_t line_number = 0;
    std::size_t found = 0;  // listed IDs named by a line so far
    while (!pairs.at_end_of_file()) {
        const std::string_view line = io::without_carriage_return(pairs.take_until('\n'));
        ++line_number;
        if (line.empty()) {
            continue;
        }
        if (!tabbed && line.find_first_not_of(" \t") != std::string_view::npos) {
            tabbed = pairs_split_at_tabs(line);
        }
        if (!split_pair(line, tabbed.value_or(false), fields)) {
            if (line.find_first_not_of(" \t") == std::string_view::npos) {
                continue;
            }
            return at_line(line_number, "a pair line needs two IDs and a distance, not " + text::quoted(line));
        }
        std::int64_t row = -1;
        std::int64_t column = -1;
        if (ids.excludes()) {
            // The IDs are gathered in the order the lines name them.
            row = first.slot_of(ids, fields.first);
            column = second.slot_of(ids, fields.second);
        } else {
            // Pair lists come in runs of one second ID; once every listed ID is found, a run of an
            // unlisted one holds nothing for the cut.
            column = second.slot_of(ids, fields.second);
            if (column < 0 && found == ids.ids().slot_count()) {
                continue;
            }
            row = first.slot_of(ids, fields.first);
        }
        for (const std::int64_t slot : {row, column}) {
            if (slot >= 0 && ids.matrix_row(static_cast<std::uint32_t>(slot)) == IdTable::not_found) {
                ids.set_matrix_row(static_cast<std::uint32_t>(slot), static_cast<std::int32_t>(slot));
                ++found;
            }
        }
        if (row < 0 || column < 0) {
            continue;
        }
        grid.grow(static_cast<std::size_t>(std::max(row, column)) + 1);
        double value = 0;
        const char* const end = fields.distance.data() + fields.distance.size();
        if (parse_number(fields.distance.data(), line.data() + line.size(), value) != end) {
            return at_line(line_number, "the distance from " + text::quoted(fields.first) + " to " +
                                            text::quoted(fields.second) + ": " + text::quoted(fields.distance) +
                                            " is no number");
        }
        double earlier = 0;
        if (!grid.give(static_cast<std::size_t>(row), static_cast<std::size_t>(column), value, fields.distance,
                       earlier)) {
            return at_line(line_number, "the distance from " + text::quoted(fields.first) + " to " +
                                            text::quoted(fields.second) + " is given twice, as " +
                                            shortest_text(earlier) + " and as " + std::string(fields.distance));
        }
        if (!ids.excludes()) {
            meter.step(reading_label, console::percentage(static_cast<std::int64_t>(grid.filled()), cells));
        }
    }
    if (pairs.input().error()) {
        return *pairs.input().error();
    }
    ids.take_gathered_ids();
    grid.grow(ids.ids().slot_count());
    if (auto missing = complete_diagonal_and_check(ids, grid)) {
        return io::IoError::bad_content(pairs.input().name(), std::move(*missing));
    }
    matrix.emplace(gather(ids, grid, keep_texts));
    return std::nullopt;
}

}  // namespace orvane
