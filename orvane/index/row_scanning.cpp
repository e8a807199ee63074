#include "orvane/index/row_scanning.hpp"

#include "orvane/readers/lower_reading.hpp"

#include "io/line_reader.hpp"
#include "orvane/formats/layout_choice.hpp"
#include "orvane/readers/square_reading.hpp"
#include "orvane/readers/table_reading.hpp"
#include "orvane/readers/window_access.hpp"

#include <climits>

namespace orvane {

namespace {

// Passes over row `row`'s `count` values, checking them as numbers while `index` still holds
// that every value is one; false where the row is cut short.
bool pass_over_values(TokenReader& matrix, std::int32_t order, std::uint64_t count, std::vector<double>& values,
                      RowIndex& index) {
    if (!index.values_checked) {
        return matrix.skip_tokens(count);
    }
    values.resize(static_cast<std::size_t>(order));
    const std::size_t cursor = matrix.cursor();
    if (matrix.read_numbers(values.data(), values.size(), TokenReader::Glued::refused)) {
        return true;
    }
    // Not every value is a number: cuts then read each listed row whole.
    index.values_checked = false;
    matrix.return_to(cursor);
    return matrix.skip_tokens(count);
}

// The rows of data set `number`, whose order is read into `set`.
std::optional<io::IoError> scan_data_set(TokenReader& matrix, const Detection& detection, std::uint32_t number,
                                         const std::string& order_token, IndexedDataSet& set, RowIndex& index) {
    if (const auto unreadable = order_in_token(order_token, matrix, set.order)) {
        return unreadable;
    }
    if (set.order < 0) {
        return io::IoError::bad_content(matrix.input().name(), "the matrix order " + order_token + " is negative");
    }
    std::vector<double> values;
    for (std::int32_t row = 0; row < set.order; ++row) {
        const std::uint64_t count = detection.layout == Layout::lower
                                        ? static_cast<std::uint64_t>(row) + (detection.with_diagonal ? 1 : 0)
                                        : static_cast<std::uint64_t>(set.order);
        const std::uint64_t offset = matrix.input().file_offset(matrix.cursor());
        std::string name = take_row_name(matrix);
        if (matrix.failed() || !pass_over_values(matrix, set.order, count, values, index)) {
            if (matrix.stop() == TokenReader::Stop::read_error) {
                return *matrix.input().error();
            }
            return io::IoError::bad_content(matrix.input().name(),
                                            (number > 1 ? "data set " + std::to_string(number) + ": " : std::string()) +
                                                "the file ends in row " + std::to_string(row + 1) + " of " +
                                                std::to_string(set.order));
        }
        set.rows.push_back({offset, std::move(name)});
    }
    set.end = matrix.input().file_offset(matrix.cursor());
    return std::nullopt;
}

// Square matrices and lower triangles, one data set after another.
std::optional<io::IoError> scan_data_sets(TokenReader& matrix, const Detection& detection, RowIndex& index) {
    matrix.skip_byte_order_mark();
    std::string token(matrix.take_token());
    // A square matrix's values are read as a cut reads them, so that later cuts may pass over
    // the columns nobody lists.
    index.values_checked = detection.layout == Layout::square;
    for (std::uint32_t number = 1; !token.empty(); ++number) {
        IndexedDataSet& set = index.data_sets.emplace_back();
        if (auto unreadable = scan_data_set(matrix, detection, number, token, set, index)) {
            return unreadable;
        }
        if (auto unreadable = take_next_order(matrix, number, token)) {
            return unreadable;
        }
    }
    if (index.data_sets.empty()) {
        return io::IoError::bad_content(matrix.input().name(), "no matrix order: the file is empty");
    }
    return matrix.input().read_failure();
}

std::optional<io::IoError> scan_table(io::LineReader& table, Layout layout, RowIndex& index) {
    TableHeader header;
    std::string first_row;
    if (auto unreadable = read_table_header(table, layout, header, first_row)) {
        return unreadable;
    }
    IndexedDataSet& set = index.data_sets.emplace_back();
    set.order = static_cast<std::int32_t>(std::min<std::size_t>(header.names.size(), INT32_MAX));
    std::size_t row = 0;
    if (auto unreadable = list_table_rows(
            table, layout, header, std::move(first_row),
            [&](std::uint64_t offset, std::uint64_t) {
                set.rows.push_back({offset, header.names[row++]});
            },
            set.end)) {
        return unreadable;
    }
    return table.input().read_failure();
}

}  // namespace

std::optional<io::IoError> scan_rows(io::ReadBuffer input, std::optional<Layout> named, RowIndex& index) {
    Detection detection;
    if (auto unknown = choose_layout(input, named, detection)) {
        return unknown;
    }
    index.layout = *detection.layout;
    index.with_diagonal = detection.with_diagonal;
    index.names = detection.names;
    if (index.layout == Layout::pairs) {
        return io::IoError::bad_content(
            input.name(), "a pairs file has no rows to find: it is read whole each time, and has no index");
    }
    if (reads_copied(index.layout, Scan::index, false)) {
        input.copy_from_here();
    }
    if (holds_data_sets(index.layout)) {
        TokenReader matrix(std::move(input));
        matrix.read_names(detection.names);
        return scan_data_sets(matrix, detection, index);
    }
    io::LineReader table(std::move(input));
    return scan_table(table, index.layout, index);
}

}  // namespace orvane
