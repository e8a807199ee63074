// Writing the sub-matrix as a labelled table (tsv or csv).
#pragma once

#include "front/dialogue.hpp"
#include "io/output_file.hpp"
#include "orvane/layouts.hpp"
#include "orvane/matrix_reading.hpp"
#include "orvane/table_reading.hpp"

namespace orvane {

// A header row with an empty corner cell, then one row per found entry in list order; names are
// quoted where RFC 4180 asks it. Each value is written as it was read when `texts` holds the
// rows of a labelled input, else as the shortest text that reads back as the same double.
// Returns the number of rows written.
std::size_t write_table(io::OutputFile& output, Layout layout, const IdTable& ids, const DistanceRows<double>& rows,
                        const RowTexts* texts, console::Meter& meter);

}  // namespace orvane
