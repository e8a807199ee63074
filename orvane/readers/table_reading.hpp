// Reading labelled tables (tsv, csv, and blank-separated as R writes them).
#pragma once

#include "io/line_reader.hpp"
#include "io/progress.hpp"
#include "orvane/formats/layouts.hpp"
#include "orvane/model/data_set.hpp"
#include "orvane/model/id_table.hpp"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace orvane {

// A labelled table's header: its names, in order.
struct TableHeader {
    std::vector<std::string> names;
    std::uint64_t first_row_offset = 0;  // where the first row begins in the file
    bool corner = false;                 // whether the header's first field stands above the row names
    std::uint64_t first_row_line = 2;    // where the first row begins (a quoted name may hold
    std::uint64_t next_line = 3;         // line breaks), and the line after it
};

// Reads the header and the first row (to tell whether the header has a corner cell); the row is
// kept for read_table_rows. Says why when no table can be made of them.
std::optional<io::IoError> read_table_header(io::LineReader& table, Layout layout, TableHeader& header,
                                             std::string& first_row);

// The rows, each of which must be named as the header names them, in that order; the listed
// ones are converted (and each value's text kept in `texts`, when given). With `allow_na`, a
// missing value (NA, NaN, an empty cell) is taken as one, its text kept.
std::optional<io::IoError> read_table_rows(io::LineReader& table, Layout layout, const TableHeader& header,
                                           std::string first_row, IdTable& ids, DistanceRows<double>& rows,
                                           ValueTexts* texts, const io::Progress& progress, bool allow_na = false);

// One row (the `row`-th, 0-based) read from where it begins, as read_table_rows reads it;
// `line_number` is its line, for messages.
std::optional<io::IoError> read_table_row_at(io::LineReader& table, Layout layout, const TableHeader& header,
                                             std::int64_t row, std::uint64_t line_number, IdTable& ids,
                                             DistanceRows<double>& rows, ValueTexts* texts, bool allow_na = false);

// Every row's place (its first byte in the file, its line) after the header, each checked as
// read_table_rows checks it but none converted: for an index of the table. `end` gets where the
// last row ends.
std::optional<io::IoError> list_table_rows(io::LineReader& table, Layout layout, const TableHeader& header,
                                           std::string first_row,
                                           const std::function<void(std::uint64_t offset, std::uint64_t line)>& place,
                                           std::uint64_t& end);

}  // namespace orvane
