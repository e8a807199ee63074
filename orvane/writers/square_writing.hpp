// Writing the extracted matrix and the sample file.
#pragma once

#include <optional>
#include <string>

#include "io/output_file.hpp"
#include "io/progress.hpp"
#include "orvane/formats/layouts.hpp"
#include "orvane/model/data_set.hpp"
#include "orvane/model/id_table.hpp"
#include "orvane/writers/value_writing.hpp"
#include "threads/helper.hpp"

#include <array>
#include <cstddef>
#include <string_view>

namespace orvane {

// Writes the matrix in one of the fixed-width layouts, square or lower (row k holds its values
// to the k rows before it), and the sample (each when there is one) in list order, one row per
// found entry, each value as `format` says, and draws the writing meter (the caller ends its
// line). Returns the number of rows. On two cores every other row is formatted on a helper
// (`cores` may force either way).
template <typename Distance>
std::size_t write_output_files(io::OutputFile* matrix, io::OutputFile* sample, const IdTable& ids,
                               const DistanceRows<Distance>& rows, const io::Progress& progress,
                               Layout layout = Layout::square, const ValueFormat& format = {},
                               threads::Cores cores = threads::Cores::from_affinity);

// A name to write that PHYLIP's 10-character name field cannot hold, when there is one: one
// with a tab or a line break, or with a blank and longer than the field (the blank would end it
// for every reader that splits at blanks, and nothing then tells where it ends).
std::optional<std::string> name_no_phylip_field_can_hold(const IdTable& ids);

}  // namespace orvane
