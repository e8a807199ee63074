// orvane --index: for each matrix file, MATRIX.oix beside it, so that later cuts read only the
// listed rows.
#pragma once

#include "front/session.hpp"
#include "orvane/formats/layouts.hpp"

#include <optional>
#include <string>
#include <vector>

namespace orvane {

// Each file is read in the layout `named`, or where none is, the one its first lines show.
session::Outcome build_row_indexes(session::Front& front, const std::vector<std::string>& files,
                                   std::optional<Layout> named);

}  // namespace orvane
