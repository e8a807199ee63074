#include "table_reading.hpp"

#include "number_parsing.hpp"
#include "session.hpp"

namespace orvane {

namespace {

constexpr std::string_view reading_label = "Reading INPUT distance matrix file. Completed... ";

std::string at_line(const io::LineReader& table, std::uint64_t line) {
    return io::file_label(table.input().name(), false) + " line " + std::to_string(line);
}

}  // namespace

std::optional<std::string> read_lower_triangle(TokenReader& triangle, IdTable& ids, std::int32_t order,
                                               bool with_diagonal, DistanceRows<double>& rows,
                                               console::Meter& meter) {
    meter.begin(reading_label);
    std::size_t longest = 0;
    for (std::size_t position = 0; position < ids.size(); ++position) {
        longest = std::max(longest, ids.ids().name(position).size());
    }
    struct Matched {
        std::int32_t row;
        std::uint32_t slot;
    };
    std::vector<Matched> matched;  // the listed rows so far, in file order
    std::string name;
    const auto stop = [&](std::int32_t row) -> std::string {
        const std::string file = io::file_label(triangle.input().name(), false);
        if (triangle.stop() == TokenReader::Stop::read_error) {
            return triangle.input().error()->describe();
        }
        if (triangle.stop() == TokenReader::Stop::no_number) {
            return file + " line " + std::to_string(triangle.line()) + ": row " + io::quoted(name) + ": " +
                   io::quoted(triangle.text_at_cursor()) + " is no number";
        }
        return file + ": the file ends in row " + std::to_string(row + 1) + " of " + std::to_string(order);
    };
    for (std::int32_t row = 0; row < order; ++row) {
        const auto values = static_cast<std::uint64_t>(row) + (with_diagonal ? 1 : 0);
        const bool listable = triangle.take_name(longest, name);
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
            // holds it.
            triangle.skip_tokens(values);
        }
        if (triangle.failed()) {
            return stop(row);
        }
        meter.step(reading_label, console::percentage(std::int64_t{row} + 1, order));
    }
    return std::nullopt;
}

TableHeader read_table_header(io::LineReader& table, Layout layout, std::string& first_row) {
    const char delimiter = delimiter_of(layout);
    table.skip_byte_order_mark();
    std::vector<Field> fields;
    const std::string header_line(io::without_carriage_return(table.take_until('\n')));
    first_row.assign(io::without_carriage_return(table.take_until('\n')));
    std::vector<Field> header_fields;
    split_fields(header_line, delimiter, header_fields);
    split_fields(first_row, delimiter, fields);
    TableHeader header;
    if (header_fields.size() == fields.size()) {
        header.corner = true;
    } else if (header_fields.size() + 1 != fields.size()) {
        throw session::Abort{session::Failure::unreadable_input,
                             at_line(table, 2) + ": " + std::to_string(fields.size()) + " fields, where the header's " +
                                 std::to_string(header_fields.size()) + " names ask for " +
                                 std::to_string(header_fields.size() + 1)};
    }
    for (std::size_t index = header.corner ? 1 : 0; index < header_fields.size(); ++index) {
        header.names.push_back(field_text(header_line, header_fields[index]));
    }
    return header;
}

std::optional<std::string> read_table_rows(io::LineReader& table, Layout layout, const TableHeader& header,
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
                return io::file_label(table.input().name(), false) + ": the file ends after " + std::to_string(row) +
                       " of " + std::to_string(order) + " rows";
            }
            line = io::without_carriage_return(table.take_until('\n'));
        }
        // Every row's name is checked against the header; only a listed row is split whole.
        split_fields(line, delimiter, fields, 1);
        const std::string name = fields.empty() ? std::string() : field_text(line, fields[0]);
        if (name != header.names[static_cast<std::size_t>(row)]) {
            return at_line(table, line_number) + ": row " + io::quoted(name) + " where the header has " +
                   io::quoted(header.names[static_cast<std::size_t>(row)]) +
                   ": the row names differ from the header's, so this is no distance matrix";
        }
        const std::int64_t slot = ids.ids().find_slot(name);
        if (slot >= 0) {
            split_fields(line, delimiter, fields);
            if (fields.size() != header.names.size() + 1) {
                return at_line(table, line_number) + ": row " + io::quoted(name) + " has " +
                       std::to_string(fields.size() - 1) + " values for the header's " + std::to_string(order) +
                       " names";
            }
            double* const values = rows.row(static_cast<std::uint32_t>(slot));
            for (std::size_t column = 1; column < fields.size(); ++column) {
                const Field& cell = fields[column];
                // Parsed over the rest of the line, which lets the fast path look ahead; the
                // number must still end where the cell ends.
                const char* const stop =
                    parse_number(line.data() + cell.begin, line.data() + line.size(), values[column - 1]);
                if (stop != line.data() + cell.end || cell.begin == cell.end) {
                    return at_line(table, line_number) + ": row " + io::quoted(name) + ", column " +
                           io::quoted(header.names[column - 1]) + ": " +
                           io::quoted(line.substr(cell.begin, cell.end - cell.begin)) + " is no number";
                }
            }
            ids.set_matrix_row(static_cast<std::uint32_t>(slot), static_cast<std::int32_t>(row));
            if (texts != nullptr) {
                texts->keep(static_cast<std::uint32_t>(slot), line);
            }
        }
        meter.step(reading_label, console::percentage(row + 1, order));
    }
    while (!table.at_end_of_file()) {
        const std::string_view rest = io::without_carriage_return(table.take_until('\n'));
        if (!rest.empty()) {
            return io::file_label(table.input().name(), false) + ": more rows than the header's " +
                   std::to_string(order) + " names";
        }
    }
    return std::nullopt;
}

}  // namespace orvane
