#include "matrix_reading.hpp"

#include "row_conversion.hpp"

#include <algorithm>
#include <limits>
#include <new>
#include <utility>

namespace orvane {

namespace {

constexpr std::string_view reading_label = "Reading INPUT distance matrix file. Completed... ";

// After the matrix can no longer be read, the remaining rows cannot match. Rather than
// redraw once per declared row (two billion for a lying header), draw each percentage those
// rows would have reached once, in order: for an order up to 100 that is every row's own.
void finish_reading_meter(console::Meter& meter, std::int64_t next_row, std::int64_t order) {
    std::int64_t row = next_row;
    while (row < order) {
        const std::int64_t shown = console::percentage(row + 1, order);
        meter.step(reading_label, shown);
        // The first row whose percentage exceeds `shown`: (row + 1) * 100 / order >= shown + 1.
        const std::int64_t first_above = ((shown + 1) * order + 99) / 100 - 1;
        row = std::max(row + 1, first_above);
    }
}

void skip_distances(TokenReader& matrix, std::int32_t order) {
    matrix.skip_tokens(static_cast<std::uint64_t>(order));
}

// Where and why the reading stopped at row `row` (0-based), whose name is `name` (empty when
// the row's name itself could not be read).
std::string describe_stop(TokenReader& matrix, std::int32_t row, std::int32_t order, const std::string& name) {
    const io::ReadBuffer& input = matrix.input();
    if (matrix.stop() == TokenReader::Stop::read_error) {
        return input.error()->describe();
    }
    const std::string file = io::file_label(input.name(), false);
    if (matrix.stop() == TokenReader::Stop::no_number) {
        return file + " line " + std::to_string(matrix.line()) + ": row " + io::quoted(name) + ": " +
               io::quoted(matrix.text_at_cursor()) + " is no number";
    }
    if (name.empty()) {
        return file + ": the file ends after " + std::to_string(row) + " of " + std::to_string(order) + " rows";
    }
    return file + ": the file ends inside row " + io::quoted(name) + " (row " + std::to_string(row + 1) + " of " +
           std::to_string(order) + ")";
}

}  // namespace

IdTable::IdTable(lists::NameList ids) : ids_(std::move(ids)) {
    ids_.assign_slots();
    matrix_row_.assign(ids_.slot_count(), not_found);
}

template <typename Distance>
DistanceRows<Distance>::DistanceRows(std::size_t slot_count, std::size_t order) : order_(order) {
    if (order != 0 && slot_count > std::numeric_limits<std::size_t>::max() / sizeof(Distance) / order) {
        throw std::bad_alloc();
    }
    values_ = std::make_unique_for_overwrite<Distance[]>(slot_count * order);
}

lists::NameList count_list_entries(TokenReader& list) {
    list.skip_byte_order_mark();
    lists::NameList ids;
    for (std::string_view token = list.take_token(); !list.failed(); token = list.take_token()) {
        ids.add(token);
    }
    return ids;
}

std::int32_t read_matrix_order(TokenReader& matrix) {
    std::int32_t order = 0;
    matrix.read_int32(order);
    return order;
}

std::string describe_unreadable_order(TokenReader& matrix) {
    if (matrix.stop() == TokenReader::Stop::read_error) {
        return matrix.input().error()->describe();
    }
    const std::string file = io::file_label(matrix.input().name(), false);
    if (matrix.stop() == TokenReader::Stop::end_of_input) {
        return file + ": no matrix order: the file is empty";
    }
    return file + " line " + std::to_string(matrix.line()) + ": " + io::quoted(matrix.text_at_cursor()) +
           " is no matrix order (a whole number of 32 bits)";
}

template <typename Distance>
std::optional<std::string> read_distance_matrix(TokenReader& matrix, IdTable& ids, std::int32_t order,
                                                DistanceRows<Distance>& rows, Strictness strictness,
                                                console::Meter& meter) {
    const auto glued = strictness == Strictness::whole_numbers ? TokenReader::Glued::refused : TokenReader::Glued::left;
    meter.begin(reading_label);
    // A row name longer than every listed ID cannot match one, and need not be held whole.
    std::size_t longest = 0;
    for (std::size_t position = 0; position < ids.size(); ++position) {
        longest = std::max(longest, ids.ids().name(position).size());
    }
    std::string name;  // the current row's, kept for a message (the token's view dies with the next read)
    // On two cores the plain rows go faster; from the first row that is not plain (or from the
    // start, on one core) each row is read here, one after the other.
    for (std::int32_t row = convert_rows_alongside(matrix, ids, order, rows, longest, meter, reading_label); row < order;
         ++row) {
        const bool listable = matrix.take_name(longest, name);
        if (!matrix.failed()) {
            const std::int64_t slot = listable ? ids.ids().find_slot(name) : -1;
            if (slot >= 0) {
                const auto matched = static_cast<std::uint32_t>(slot);
                const bool complete = matrix.read_numbers(rows.row(matched), static_cast<std::size_t>(order), glued);
                ids.set_matrix_row(matched, complete ? row : IdTable::not_found);
            } else {
                skip_distances(matrix, order);
            }
        }
        meter.step(reading_label, console::percentage(std::int64_t{row} + 1, order));
        if (matrix.failed()) {
            finish_reading_meter(meter, std::int64_t{row} + 1, order);
            return describe_stop(matrix, row, order, name);
        }
    }
    return std::nullopt;
}

template class DistanceRows<float>;
template class DistanceRows<double>;
template std::optional<std::string> read_distance_matrix(TokenReader&, IdTable&, std::int32_t, DistanceRows<float>&,
                                                         Strictness, console::Meter&);
template std::optional<std::string> read_distance_matrix(TokenReader&, IdTable&, std::int32_t, DistanceRows<double>&,
                                                         Strictness, console::Meter&);

}  // namespace orvane
