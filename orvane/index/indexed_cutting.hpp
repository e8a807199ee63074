// Cutting a matrix through its .oix: only the listed rows are read, each where the index says it
// begins, by the same steps a whole-file read takes for it. An index made for another version of
// the file, or one whose rows are not where it says, is told once and the file read whole; a row
// that cannot be read is left to the whole-file read too, which says where and why as it always
// does.
#pragma once

#include "index/identity.hpp"
#include "io/input_file.hpp"
#include "orvane/formats/layouts.hpp"
#include "orvane/model/choice.hpp"
#include "orvane/model/data_set.hpp"
#include "orvane/model/id_table.hpp"
#include "orvane/readers/square_reading.hpp"
#include "threads/helper.hpp"

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

namespace orvane {

// One data set cut through the index: its order, the rows read, and where each slot's row was.
struct IndexedCut {
    std::int32_t order = 0;
    DataSet set;
    std::vector<std::int32_t> matrix_rows;  // per slot
};

// Everything the run cuts: the data sets read (all, or up to the one asked for: earlier ones
// only counted), and how many the file holds.
struct IndexedCuts {
    Layout layout = Layout::square;
    std::uint32_t data_sets = 0;
    std::vector<IndexedCut> cuts;  // in file order; those before --dataset's with no rows read
    std::uint64_t located = 0;     // rows read where the index put them
};

using MakeRows = std::function<DistanceRows<double>(std::int32_t order)>;

// The cuts through MATRIX.oix, or nothing where the file is to be read whole (an index passed
// over is said through `reporting`); `not_used` then says why, for -v. A square matrix's rows
// are read on two cores where `cores` has them.
std::optional<IndexedCuts> cut_through_index(const indexing::Reporting& reporting, const io::InputFile& file,
                                             IdTable& ids, const Choice& options, const MakeRows& make_rows,
                                             std::string& not_used,
                                             threads::Cores cores = threads::Cores::from_affinity);

}  // namespace orvane
