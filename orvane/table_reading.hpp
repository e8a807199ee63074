// Reading the layouts batch mode adds: lower triangles and labelled tables (tsv, csv).
#pragma once

#include "orvane/layouts.hpp"
#include "io/line_reader.hpp"
#include "orvane/matrix_reading.hpp"

#include <cstdint>
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

// A lower triangle: fills the rows of the listed IDs, each value read from the row of whichever
// of its two names comes later. Says where and why, when the triangle cannot be read whole.
std::optional<io::IoError> read_lower_triangle(TokenReader& triangle, IdTable& ids, std::int32_t order,
                                               bool with_diagonal, DistanceRows<double>& rows,
                                               console::Meter& meter);

// A labelled table's header: its names, in order.
struct TableHeader {
    std::vector<std::string> names;
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

}  // namespace orvane
