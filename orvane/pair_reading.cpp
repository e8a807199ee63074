#include "orvane/pair_reading.hpp"

#include "orvane/number_parsing.hpp"
#include "orvane/reading_errors.hpp"
#include "text/characters.hpp"
#include "text/quoting.hpp"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstring>
#include <vector>

namespace orvane {

namespace {

// The first three fields of a line: two IDs and a distance.
struct PairFields {
    std::string_view first;
    std::string_view second;
    std::string_view distance;
};

std::string_view next_tabbed(std::string_view& rest) {
    const void* const tab = std::memchr(rest.data(), '\t', rest.size());
    const std::size_t end = tab == nullptr ? rest.size() : static_cast<std::size_t>(static_cast<const char*>(tab) - rest.data());
    const std::string_view field = rest.substr(0, end);
    rest.remove_prefix(tab == nullptr ? rest.size() : end + 1);
    return field;
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
    std::string_view rest = line;
    const bool had_three = tabbed ? std::count(line.begin(), line.end(), '\t') >= 2 : true;
    fields.first = tabbed ? next_tabbed(rest) : next_blank_separated(rest);
    fields.second = tabbed ? next_tabbed(rest) : next_blank_separated(rest);
    fields.distance = tabbed ? next_tabbed(rest) : next_blank_separated(rest);
    return had_three && !fields.first.empty() && !fields.second.empty() && !fields.distance.empty();
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

// The cells of the sub-matrix as the lines fill them. It grows when excluding, as IDs come.
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
        std::vector<double> values(side * side, 0.0);
        std::vector<State> states(side * side, State::none);
        std::vector<std::string> texts(keep_texts_ ? side * side : 0);
        for (std::size_t row = 0; row < side_; ++row) {
            for (std::size_t column = 0; column < side_; ++column) {
                values[row * side + column] = values_[row * side_ + column];
                states[row * side + column] = states_[row * side_ + column];
                if (keep_texts_) {
                    texts[row * side + column] = std::move(texts_[row * side_ + column]);
                }
            }
        }
        side_ = side;
        values_ = std::move(values);
        states_ = std::move(states);
        texts_ = std::move(texts);
    }

    // False when the pair was given before with another value, which `earlier` then holds.
    bool give(std::size_t row, std::size_t column, double value, std::string_view text, double& earlier) {
        const std::size_t cell = row * side_ + column;
        if (states_[cell] == State::given) {
            earlier = values_[cell];
            return values_[cell] == value;
        }
        set(cell, State::given, value, text);
        if (const std::size_t mirror = column * side_ + row; states_[mirror] == State::none) {
            set(mirror, State::mirrored, value, text);
        }
        return true;
    }

    State state(std::size_t row, std::size_t column) const { return states_[row * side_ + column]; }
    double value(std::size_t row, std::size_t column) const { return values_[row * side_ + column]; }
    const std::string& text(std::size_t row, std::size_t column) const { return texts_[row * side_ + column]; }
    std::size_t filled() const { return filled_; }

private:
    void set(std::size_t cell, State state, double value, std::string_view text) {
        filled_ += states_[cell] == State::none ? 1 : 0;
        states_[cell] = state;
        values_[cell] = value;
        if (keep_texts_) {
            texts_[cell].assign(text);
        }
    }

    bool keep_texts_;
    std::size_t side_ = 0;
    std::size_t filled_ = 0;
    std::vector<double> values_;
    std::vector<State> states_;
    std::vector<std::string> texts_;
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
    while (!pairs.at_end_of_file()) {
        const std::string_view line = io::without_carriage_return(pairs.take_until('\n'));
        ++line_number;
        if (line.find_first_not_of(" \t") == std::string_view::npos) {
            continue;
        }
        if (!tabbed) {
            tabbed = pairs_split_at_tabs(line);
        }
        if (!split_pair(line, *tabbed, fields)) {
            return at_line(line_number, "a pair line needs two IDs and a distance, not " + text::quoted(line));
        }
        const std::int64_t row = first.slot_of(ids, fields.first);
        const std::int64_t column = second.slot_of(ids, fields.second);
        for (const std::int64_t slot : {row, column}) {
            if (slot >= 0 && ids.matrix_row(static_cast<std::uint32_t>(slot)) == IdTable::not_found) {
                ids.set_matrix_row(static_cast<std::uint32_t>(slot), static_cast<std::int32_t>(slot));
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
