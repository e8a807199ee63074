// Reading the layouts batch mode adds: lower triangles and labelled tables (tsv, csv).
#pragma once

#include "orvane/layouts.hpp"
#include "io/line_reader.hpp"
#include "orvane/matrix_reading.hpp"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace orvane {

// The lines of a labelled table's listed rows, kept whole so that each value can be written
// exactly as it was read.
class RowTexts {
public:
    RowTexts(std::size_t slots, char delimiter) : lines_(slots), delimiter_(delimiter) {}
    void keep(std::uint32_t slot, std::string_view line) { lines_[slot].assign(line); }
    const std::string& line(std::uint32_t slot) const { return lines_[slot]; }
    char delimiter() const { return delimiter_; }  // the input's, which split the lines

private:
    std::vector<std::string> lines_;
    char delimiter_;
};

// The listed rows of a lower triangle as they come, in file order: each fills its own row and,
// from its values, the earlier listed rows' columns for it.
class LowerTriangleCut {
public:
    LowerTriangleCut(bool with_diagonal, DistanceRows<double>& rows) : with_diagonal_(with_diagonal), rows_(rows) {}
    // How many values row `row` (0-based) holds.
    std::uint64_t values_in(std::int32_t row) const { return static_cast<std::uint64_t>(row) + (with_diagonal_ ? 1 : 0); }
    // Reads row `row`'s values (its name taken) for `slot`; false when they cannot all be read.
    [[nodiscard]] bool take(TokenReader& triangle, std::int32_t row, std::uint32_t slot);

private:
    struct Matched {
        std::int32_t row;
        std::uint32_t slot;
    };
    bool with_diagonal_;
    DistanceRows<double>& rows_;
    std::vector<Matched> matched_;  // the listed rows so far, in file order
};

// A lower triangle: fills the rows of the listed IDs, each value read from the row of whichever
// of its two names comes later. Says where and why, when the triangle cannot be read whole.
std::optional<io::IoError> read_lower_triangle(TokenReader& triangle, IdTable& ids, std::int32_t order,
                                               bool with_diagonal, DistanceRows<double>& rows,
                                               console::Meter& meter);

// A labelled table's header: its names, in order.
struct TableHeader {
    std::vector<std::string> names;
    std::uint64_t first_row_offset = 0;  // where the first row begins in the file
    bool corner = false;  // whether the header's first field stands above the row names
    std::uint64_t first_row_line = 2;  // where the first row begins (a quoted name may hold
    std::uint64_t next_line = 3;       // line breaks), and the line after it
};

// Reads the header and the first row (to tell whether the header has a corner cell); the row is
// kept for read_table_rows. Says why when no table can be made of them.
std::optional<io::IoError> read_table_header(io::LineReader& table, Layout layout, TableHeader& header,
                                             std::string& first_row);

// The rows, each of which must be named as the header names them, in that order; the listed
// ones are converted (and kept whole in `texts`, when given).
std::optional<io::IoError> read_table_rows(io::LineReader& table, Layout layout, const TableHeader& header,
                                           std::string first_row, IdTable& ids, DistanceRows<double>& rows,
                                           RowTexts* texts, console::Meter& meter);

// One row (the `row`-th, 0-based) read from where it begins, as read_table_rows reads it;
// `line_number` is its line, for messages.
std::optional<io::IoError> read_table_row_at(io::LineReader& table, Layout layout, const TableHeader& header,
                                             std::int64_t row, std::uint64_t line_number, IdTable& ids,
                                             DistanceRows<double>& rows, RowTexts* texts);

// Every row's place (its first byte in the file, its line) after the header, each checked as
// read_table_rows checks it but none converted: for an index of the table. `end` gets where the
// last row ends.
std::optional<io::IoError> list_table_rows(io::LineReader& table, Layout layout, const TableHeader& header,
                                           std::string first_row,
                                           const std::function<void(std::uint64_t offset, std::uint64_t line)>& place,
                                           std::uint64_t& end);

}  // namespace orvane
