// What orvane --index finds in a matrix file: where each row of each data set begins. Every row
// is read as a cut reads it, so a file that could not be cut whole gets no index.
#pragma once

#include "io/io_error.hpp"
#include "io/read_buffer.hpp"
#include "orvane/formats/layouts.hpp"
#include "orvane/index/oix_format.hpp"

#include <optional>

namespace orvane {

// Fills `index` (its stamp aside) from `input`, read in the layout `named`, or where none is, the
// one its first lines show; or says why the file cannot have an index.
std::optional<io::IoError> scan_rows(io::ReadBuffer input, std::optional<Layout> named, RowIndex& index);

}  // namespace orvane
