// Writing the sub-matrix as a labelled table (tsv, csv, or blank-separated as R writes it).
#pragma once

#include "io/output_file.hpp"
#include "io/progress.hpp"
#include "orvane/formats/layouts.hpp"
#include "orvane/model/data_set.hpp"
#include "orvane/model/id_table.hpp"
#include "orvane/readers/reading_errors.hpp"
#include "orvane/readers/table_reading.hpp"

#include <vector>

namespace orvane {

// The list positions of the found entries: the rows (and columns) to write, in list order.
std::vector<std::size_t> found_positions(const IdTable& ids);

// The values of one row after another, each written as it was read when `texts` holds the rows
// of an input read as text, else as the shortest text that reads back as the same double.
class RowCells {
public:
    RowCells(const IdTable& ids, const DistanceRows<double>& rows, const RowTexts* texts)
        : ids_(ids), rows_(rows), texts_(texts) {}
    void start_row(std::uint32_t slot);
    void write(io::OutputFile& output, std::uint32_t column_slot) const;

private:
    const IdTable& ids_;
    const DistanceRows<double>& rows_;
    const RowTexts* texts_;
    std::uint32_t slot_ = 0;
    std::string_view line_;
    std::vector<Field> fields_;
};

// tsv and csv: a header row with an empty corner cell, then one row per found entry in list
// order, names quoted where RFC 4180 asks it. ssv: as R's write.table writes by default (every
// name quoted, the header one field shorter than the rows), so that read.table reads it back.
// Returns the number of rows written.
std::size_t write_table(io::OutputFile& output, Layout layout, const IdTable& ids, const DistanceRows<double>& rows,
                        const RowTexts* texts, const io::Progress& progress);

}  // namespace orvane
