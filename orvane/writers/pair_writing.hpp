// Writing the sub-matrix as a list of pairs.
#pragma once

#include "io/output_file.hpp"
#include "io/progress.hpp"
#include "orvane/model/data_set.hpp"
#include "orvane/model/id_table.hpp"
#include "orvane/readers/table_reading.hpp"
#include "orvane/writers/value_writing.hpp"

#include <optional>
#include <string>

namespace orvane {

// Every ordered pair of found entries, self-pairs included, in list order: "a<TAB>b<TAB>d",
// each value as `format` says. Returns the number of rows (IDs) written.
std::size_t write_pairs(io::OutputFile& output, const IdTable& ids, const DistanceRows<double>& rows,
                        const ValueFormat& format, const io::Progress& progress);

// A name to write that a pair line cannot hold (a tab or a line break in it), when there is one.
std::optional<std::string> name_no_pair_can_hold(const IdTable& ids);

}  // namespace orvane
