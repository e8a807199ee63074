#include "orvane/table_reading.hpp"

#include "orvane/number_parsing.hpp"
#include "orvane/reading_errors.hpp"
#include "text/quoting.hpp"

namespace orvane {

namespace {

io::IoError at_line(const io::LineReader& table, std::uint64_t line, std::string reason) {
    return io::IoError::bad_content(table.input().name(), std::move(reason), line);
}

io::IoError in_file(const io::LineReader& table, std::string reason) {
    return io::IoError::bad_content(table.input().name(), std::move(reason));
}

// A listed row of a labelled table: every cell converted into `values`, or why it cannot be.
std::optional<io::IoError> convert_table_row(const io::LineReader& table, std::uint64_t line_number,
                                             std::string_view line, const std::vector<Field>& fields,
                                             const TableHeader& header, const std::string& name, double* values) {
    if (fields.size() != header.names.size() + 1) {
        return at_line(table, line_number,
                       "row " + text::quoted(name) + " has " + std::to_string(fields.size() - 1) +
                           " values for the header's " + std::to_string(header.names.size()) + " names");
    }
    for (std::size_t column = 1; column < fields.size(); ++column) {
        const Field& cell = fields[column];
        // Parsed over the rest of the line, which lets the fast path look ahead; the number
        // must still end where the cell ends.
        const char* const stop = parse_number(line.data() + cell.begin, line.data() + line.size(), values[column - 1]);
        if (stop != line.data() + cell.end || cell.begin == cell.end) {
            return at_line(table, line_number,
                           no_number(name, line.substr(cell.begin, cell.end - cell.begin), header.names[column - 1]));
        }
    }
    return std::nullopt;
}

// After a table's last row only empty lines may follow.
std::optional<io::IoError> check_nothing_follows(io::LineReader& table, std::int64_t order) {
    while (!table.at_end_of_file()) {
        if (!io::without_carriage_return(table.take_until('\n')).empty()) {
            return in_file(table, "more rows than the header's " + std::to_string(order) + " names");
        }
    }
    return std::nullopt;
}

}  // namespace

std::optional<io::IoError> read_lower_triangle(TokenReader& triangle, IdTable& ids, std::int32_t order,
                                               bool with_diagonal, DistanceRows<double>& rows,
                                               console::Meter& meter) {
    meter.begin(reading_label);
    struct Matched {
        std::int32_t row;
        std::uint32_t slot;
    };
    std::vector<Matched> matched;  // the listed rows so far, in file order
    std::string name;
    const auto stop = [&](std::int32_t row) {
        return token_stop(triangle, name,
                          "the file ends in row " + std::to_string(row + 1) + " of " + std::to_string(order));
    };
    for (std::int32_t row = 0; row < order; ++row) {
        const auto values = static_cast<std::uint64_t>(row) + (with_diagonal ? 1 : 0);
        const bool listable = triangle.take_name(ids.longest_name(), name);
        const std::int64_t slot = listable && !triangle.failed() ? ids.ids().find_slot(name) : -1;
        if (slot >= 0) {
            // A listed row holds its distances to every earlier row, which earlier listed rows
            // take as theirs to this one.
            double* const own = rows.row(static_cast<std::uint32_t>(slot));
            if (!triangle.read_numbers(own, values, TokenReader::Glued::refused)) {
                return stop(row);
            }
            if (!with_diagonal) {
                own[row] = 0.0;
            }
            for (const Matched& earlier : matched) {
                rows.row(earlier.slot)[row] = own[earlier.row];
            }
            ids.set_matrix_row(static_cast<std::uint32_t>(slot), row);
            matched.push_back({row, static_cast<std::uint32_t>(slot)});
        } else {
            // Any other row holds no distance between two listed IDs: the later of each pair
            // holds it. A failure shows in the reader's state, looked at below.
            static_cast<void>(triangle.skip_tokens(values));
        }
        if (triangle.failed()) {
            return stop(row);
        }
        meter.step(reading_label, console::percentage(std::int64_t{row} + 1, order));
    }
    return std::nullopt;
}

std::optional<io::IoError> read_table_header(io::LineReader& table, Layout layout, TableHeader& header,
                                             std::string& first_row) {
    const char delimiter = delimiter_of(layout);
    table.skip_byte_order_mark();
    std::vector<Field> fields;
    const std::string header_line(io::without_carriage_return(table.take_until('\n')));
    first_row.assign(io::without_carriage_return(table.take_until('\n')));
    std::vector<Field> header_fields;
    split_fields(header_line, delimiter, header_fields);
    split_fields(first_row, delimiter, fields);
    header = TableHeader{};
    if (header_fields.size() == fields.size()) {
        header.corner = true;
    } else if (header_fields.size() + 1 != fields.size()) {
        return at_line(table, 2,
                       std::to_string(fields.size()) + " fields, where the header's " +
                           std::to_string(header_fields.size()) + " names ask for " +
                           std::to_string(header_fields.size() + 1));
    }
    for (std::size_t index = header.corner ? 1 : 0; index < header_fields.size(); ++index) {
        header.names.push_back(field_text(header_line, header_fields[index]));
    }
    // An empty or blank file would otherwise read as a table of nothing, and every listed name
    // as merely missing from it.
    if (header.names.empty()) {
        return at_line(table, 1, "no table: the header names no column");
    }
    return std::nullopt;
}

std::optional<io::IoError> read_table_rows(io::LineReader& table, Layout layout, const TableHeader& header,
                                           std::string first_row, IdTable& ids, DistanceRows<double>& rows,
                                           RowTexts* texts, console::Meter& meter) {
    const char delimiter = delimiter_of(layout);
    const auto order = static_cast<std::int64_t>(header.names.size());
    std::vector<Field> fields;
    meter.begin(reading_label);
    std::string_view line = first_row;
    for (std::int64_t row = 0; row < order; ++row) {
        const std::uint64_t line_number = static_cast<std::uint64_t>(row) + 2;
        if (row > 0) {
            if (table.at_end_of_file()) {
                return in_file(table, "the file ends after " + std::to_string(row) + " of " + std::to_string(order) +
                                          " rows");
            }
            line = io::without_carriage_return(table.take_until('\n'));
        }
        // Every row's name is checked against the header; only a listed row is split whole.
        split_fields(line, delimiter, fields, 1);
        const std::string name = fields.empty() ? std::string() : field_text(line, fields[0]);
        const std::string& expected = header.names[static_cast<std::size_t>(row)];
        if (name != expected) {
            return at_line(table, line_number,
                           "row " + text::quoted(name) + " where the header has " + text::quoted(expected) +
                               ": the row names differ from the header's, so this is no distance matrix");
        }
        if (const std::int64_t slot = ids.ids().find_slot(name); slot >= 0) {
            const auto listed = static_cast<std::uint32_t>(slot);
            split_fields(line, delimiter, fields);
            if (auto failure = convert_table_row(table, line_number, line, fields, header, name, rows.row(listed))) {
                return failure;
            }
            ids.set_matrix_row(listed, static_cast<std::int32_t>(row));
            if (texts != nullptr) {
                texts->keep(listed, line);
            }
        }
        meter.step(reading_label, console::percentage(row + 1, order));
    }
    return check_nothing_follows(table, order);
}

}  // namespace orvane
