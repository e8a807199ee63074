// orvane --index: for each matrix file, MATRIX.oix, where each row of each data set begins, so
// that later cuts read only the listed rows. Every row is read as a cut reads it, so a file that
// could not be cut whole gets no index.
#pragma once

#include "front/session.hpp"
#include "orvane/app/options.hpp"

#include <string>
#include <vector>

namespace orvane {

session::Outcome build_row_indexes(session::Front& front, const std::vector<std::string>& files,
                                   const Options& options);

}  // namespace orvane
