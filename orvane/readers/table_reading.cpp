#include "orvane/readers/table_reading.hpp"

#include "orvane/parse/number_parsing.hpp"
#include "orvane/readers/reading_errors.hpp"
#include "text/quoting.hpp"

#include <limits>

namespace orvane {

namespace {

io::IoError at_line(const io::LineReader& table, std::uint64_t line, std::string reason) {
    return io::IoError::bad_content(table.input().name(), std::move(reason), line);
}

io::IoError in_file(const io::LineReader& table, std::string reason) {
    return io::IoError::bad_content(table.input().name(), std::move(reason));
}

// The next record of a table: its next line, or the lines that a quoted field's line breaks
// join (RFC 4180), in `joined`. Only the first `quotable` fields are looked at for quotes that
// go on: the names, never the values, so a row costs no extra pass. `lines` counts the lines.
std::string_view take_record(io::LineReader& table, char delimiter, std::size_t quotable, std::string& joined,
                             std::uint64_t& lines) {
    const std::string_view line = io::without_carriage_return(table.take_until('\n'));
    ++lines;
    if (!line.starts_with('"') && (quotable == 1 || line.find('"') == std::string_view::npos)) {
        return line;
    }
    if (!ends_inside_quotes(line, delimiter, quotable)) {
        return line;
    }
    joined.assign(line);
    while (ends_inside_quotes(joined, delimiter, quotable) && !table.at_end_of_file()) {
        joined += '\n';
        joined.append(io::without_carriage_return(table.take_until('\n')));
        ++lines;
    }
    return joined;
}

// A table that ends before its header's every name has a row.
io::IoError rows_missing(const io::LineReader& table, std::int64_t rows, std::size_t names) {
    return in_file(
        table, "the table has " + std::to_string(rows) + " rows for the header's " + std::to_string(names) + " names");
}

// A listed row of a labelled table: every cell converted into `values`, or why it cannot be.
std::optional<io::IoError> convert_table_row(const io::LineReader& table, std::uint64_t line_number,
                                             std::string_view line, const std::vector<Field>& fields,
                                             const TableHeader& header, const std::string& name, double* values,
                                             bool allow_na) {
    if (fields.size() != header.names.size() + 1) {
        const bool trailing = fields.size() == header.names.size() + 2 && fields.back().begin == fields.back().end &&
                              !fields.back().quoted;
        return at_line(table, line_number,
                       "row " + text::quoted(name) + " has " + std::to_string(fields.size() - 1) +
                           " values for the header's " + std::to_string(header.names.size()) + " names" +
                           (trailing ? ": the last is empty (a delimiter at the end of the line)" : ""));
    }
    for (std::size_t column = 1; column < fields.size(); ++column) {
        const Field& cell = fields[column];
        if (allow_na && is_missing_value(line.substr(cell.begin, cell.end - cell.begin))) {
            values[column - 1] = std::numeric_limits<double>::quiet_NaN();  // its text goes out as it stands
            continue;
        }
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

std::optional<io::IoError> read_table_header(io::LineReader& table, Layout layout, TableHeader& header,
                                             std::string& first_row) {
    const char delimiter = delimiter_of(layout);
    table.skip_byte_order_mark();
    header = TableHeader{};
    std::string joined;
    std::uint64_t lines = 0;
    const std::string header_line(take_record(table, delimiter, static_cast<std::size_t>(-1), joined, lines));
    header.first_row_line = lines + 1;
    header.first_row_offset = table.window().file_offset(table.window().pos());
    first_row.assign(take_record(table, delimiter, 1, joined, lines));
    header.next_line = lines + 1;
    std::vector<Field> header_fields;
    std::vector<Field> fields;
    split_fields(header_line, delimiter, header_fields);
    split_fields(first_row, delimiter, fields);
    const bool no_rows = first_row.empty() && table.at_end_of_file();
    // Without a row to count against, an empty first field is taken for the corner.
    const bool empty_first = !header_fields.empty() && header_fields[0].begin == header_fields[0].end;
    if (header_fields.size() == fields.size() || (no_rows && empty_first)) {
        header.corner = true;
    } else if (header_fields.size() + 1 != fields.size() && !no_rows) {
        return at_line(table, header.first_row_line,
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
    if (no_rows) {
        return rows_missing(table, 0, header.names.size());
    }
    return std::nullopt;
}

namespace {

// The row's name, its first field, which must be the one the header gives the row's column.
std::optional<io::IoError> take_row_name(const io::LineReader& table, char delimiter, const TableHeader& header,
                                         std::int64_t row, std::uint64_t line_number, std::string_view line,
                                         std::vector<Field>& fields, std::string& name) {
    split_fields(line, delimiter, fields, 1);
    name = fields.empty() ? std::string() : field_text(line, fields[0]);
    const std::string& expected = header.names[static_cast<std::size_t>(row)];
    if (name == expected) {
        return std::nullopt;
    }
    return at_line(table, line_number,
                   "row " + text::quoted(name) + " where the header has " + text::quoted(expected) +
                       ": the row names differ from the header's, so this is no distance matrix");
}

// A converted row's cells, as they stand between their quotes (a number holds none to undouble).
void keep_cells(std::string_view line, const std::vector<Field>& fields, TextRow& texts) {
    texts.clear();
    texts.reserve(fields.size() - 1);
    for (std::size_t column = 1; column < fields.size(); ++column) {
        texts.add(line.substr(fields[column].begin, fields[column].end - fields[column].begin));
    }
}

// One row, its record taken: named as the header names it; converted (and kept) when listed.
std::optional<io::IoError> take_table_row(const io::LineReader& table, char delimiter, const TableHeader& header,
                                          std::int64_t row, std::uint64_t line_number, std::string_view line,
                                          std::vector<Field>& fields, IdTable& ids, DistanceRows<double>& rows,
                                          ValueTexts* texts, bool allow_na) {
    // Every row's name is checked against the header; only a listed row is split whole.
    std::string name;
    if (auto misnamed = take_row_name(table, delimiter, header, row, line_number, line, fields, name)) {
        return misnamed;
    }
    if (const std::int64_t slot = ids.slot_of_row(name); slot >= 0) {
        const auto listed = static_cast<std::uint32_t>(slot);
        if (ids.matrix_row(listed) != IdTable::not_found) {
            return at_line(table, line_number, twice_named(name, ids.matrix_row(listed), row));
        }
        split_fields(line, delimiter, fields);
        if (auto failure =
                convert_table_row(table, line_number, line, fields, header, name, rows.row(listed), allow_na)) {
            return failure;
        }
        ids.set_matrix_row(listed, static_cast<std::int32_t>(row));
        if (texts != nullptr) {
            keep_cells(line, fields, texts->row(listed));
        }
    }
    return std::nullopt;
}

// Takes the rows after the first in turn, handing each (its record, line and place) to `use`;
// says why when the table has fewer rows than its header has names.
template <typename Use>
std::optional<io::IoError> walk_table_rows(io::LineReader& table, char delimiter, const TableHeader& header,
                                           std::string_view first_row, Use&& use) {
    const auto order = static_cast<std::int64_t>(header.names.size());
    std::string joined;
    std::string_view line = first_row;
    std::uint64_t line_number = header.first_row_line;
    std::uint64_t offset = header.first_row_offset;
    std::uint64_t lines = header.next_line - 1;  // taken so far
    for (std::int64_t row = 0; row < order; ++row) {
        if (row > 0) {
            if (table.at_end_of_file()) {
                return rows_missing(table, row, header.names.size());
            }
            line_number = lines + 1;
            offset = table.window().file_offset(table.window().pos());
            line = take_record(table, delimiter, 1, joined, lines);
            if (line.empty() && table.at_end_of_file()) {
                return rows_missing(table, row, header.names.size());
            }
        }
        if (auto failure = use(row, line_number, line, offset)) {
            return failure;
        }
    }
    return std::nullopt;
}

}  // namespace

std::optional<io::IoError> read_table_rows(io::LineReader& table, Layout layout, const TableHeader& header,
                                           std::string first_row, IdTable& ids, DistanceRows<double>& rows,
                                           ValueTexts* texts, const io::Progress& progress, bool allow_na) {
    const char delimiter = delimiter_of(layout);
    const auto order = static_cast<std::int64_t>(header.names.size());
    std::vector<Field> fields;
    progress.begin();
    const auto failure =
        walk_table_rows(table, delimiter, header, first_row,
                        [&](std::int64_t row, std::uint64_t line_number, std::string_view line, std::uint64_t) {
                            auto problem = take_table_row(table, delimiter, header, row, line_number, line, fields, ids,
                                                          rows, texts, allow_na);
                            progress.step(io::percentage(row + 1, order));
                            return problem;
                        });
    return failure ? failure : check_nothing_follows(table, order);
}

std::optional<io::IoError> read_table_row_at(io::LineReader& table, Layout layout, const TableHeader& header,
                                             std::int64_t row, std::uint64_t line_number, IdTable& ids,
                                             DistanceRows<double>& rows, ValueTexts* texts, bool allow_na) {
    const char delimiter = delimiter_of(layout);
    std::string joined;
    std::uint64_t lines = 0;
    const std::string_view line = take_record(table, delimiter, 1, joined, lines);
    std::vector<Field> fields;
    return take_table_row(table, delimiter, header, row, line_number, line, fields, ids, rows, texts, allow_na);
}

std::optional<io::IoError> list_table_rows(io::LineReader& table, Layout layout, const TableHeader& header,
                                           std::string first_row,
                                           const std::function<void(std::uint64_t offset, std::uint64_t line)>& place,
                                           std::uint64_t& end) {
    const char delimiter = delimiter_of(layout);
    std::vector<Field> fields;
    std::string name;
    const auto failure = walk_table_rows(
        table, delimiter, header, first_row,
        [&](std::int64_t row, std::uint64_t line_number, std::string_view line,
            std::uint64_t offset) -> std::optional<io::IoError> {
            if (auto misnamed = take_row_name(table, delimiter, header, row, line_number, line, fields, name)) {
                return misnamed;
            }
            place(offset, line_number);
            return std::nullopt;
        });
    end = table.window().file_offset(table.window().pos());
    return failure ? failure : check_nothing_follows(table, static_cast<std::int64_t>(header.names.size()));
}

}  // namespace orvane
