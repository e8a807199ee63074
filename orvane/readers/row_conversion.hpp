// Converting the distances of listed rows on the second core while this one scans on.
#pragma once

#include "io/progress.hpp"
#include "orvane/parse/token_reader.hpp"
#include "orvane/readers/square_reading.hpp"
#include "threads/helper.hpp"

#include <cstdint>

namespace orvane {

// Reads rows from the cursor (row 0) as read_distance_matrix does, but hands the conversion of
// each listed row to a helper thread, finding the row's end by counting tokens. The outcome is
// exactly the one-core outcome, meter included: a row's step is drawn only once the rows before
// it are converted, and at the first row that does not read as plain numbers (a failure, junk
// glued to a number, a name heading a second row, the end of the file) this stops with the
// cursor at that row's start, for the caller to read on one row at a time. Returns that row
// (the order when every row was read). Reads nothing unless the input is mapped, a second core
// is there (or `cores` says two) and a thread can be had.
// Whether the rows of a matrix of this order are worth converting alongside for these IDs.
bool converts_alongside(const IdTable& ids, std::int32_t order, threads::Cores cores);

template <typename Distance>
std::int32_t convert_rows_alongside(TokenReader& matrix, IdTable& ids, std::int32_t order, DistanceRows<Distance>& rows,
                                    ValueTexts* texts, const io::Progress& progress,
                                    threads::Cores cores = threads::Cores::from_affinity);

}  // namespace orvane
