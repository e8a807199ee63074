// Writing the sub-matrix as a labelled table (tsv, csv, or blank-separated as R writes it).
#pragma once

#include "io/output_file.hpp"
#include "io/progress.hpp"
#include "orvane/formats/layouts.hpp"
#include "orvane/model/data_set.hpp"
#include "orvane/model/id_table.hpp"
#include "orvane/readers/reading_errors.hpp"
#include "orvane/readers/table_reading.hpp"
#include "orvane/writers/value_writing.hpp"

#include <vector>

namespace orvane {

// The list positions of the found entries: the rows (and columns) to write, in list order.
std::vector<std::size_t> found_positions(const IdTable& ids);

// tsv and csv: a header row with an empty corner cell, then one row per found entry in list
// order, names quoted where RFC 4180 asks it. ssv: as R's write.table writes by default (every
// name quoted, the header one field shorter than the rows), so that read.table reads it back.
// Each value as `format` says. Returns the number of rows written.
std::size_t write_table(io::OutputFile& output, Layout layout, const IdTable& ids, const DistanceRows<double>& rows,
                        const ValueFormat& format, const io::Progress& progress);

}  // namespace orvane
