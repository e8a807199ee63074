// What a distance matrix must be, checked on the cut: symmetric, with zeros on its diagonal. A
// common fault of the programs that write matrices, and one PHYLIP's own programs reject.
#pragma once

#include "orvane/model/data_set.hpp"
#include "orvane/model/id_table.hpp"

#include <optional>
#include <string>

namespace orvane {

// The first fault of the cut in list order, a non-zero diagonal cell or a pair whose two
// distances differ (compared as numbers, so 0.1 equals 0.10), said in words; none when it holds.
std::optional<std::string> first_fault_of_cut(const IdTable& ids, const DistanceRows<double>& rows);

// The first cell of the cut in list order that holds a missing value (NA, NaN, an empty cell:
// taken with --allow-na), said in words; none when every cell is a number.
std::optional<std::string> first_missing_value(const IdTable& ids, const DataSet& set);

}  // namespace orvane
