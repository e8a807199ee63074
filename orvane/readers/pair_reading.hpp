// Reading a list of pairs, one a line: two IDs and the distance between them, any later fields
// ignored, as mash dist writes them.
#pragma once

#include "io/io_error.hpp"
#include "io/line_reader.hpp"
#include "io/progress.hpp"
#include "orvane/readers/square_reading.hpp"
#include "orvane/readers/table_reading.hpp"
#include "threads/helper.hpp"

#include <optional>

namespace orvane {

// The sub-matrix the pairs give: a slot's row holds its distance to every slot, in slot order,
// so each found slot is its own column (matrix_row(slot) == slot).
struct PairMatrix {
    DistanceRows<double> rows;
    std::optional<ValueTexts> texts;  // each value's text, when kept
    std::size_t order;                // the slots (columns) the rows hold
};

// Row a, column b takes d from the line "a b d", or from "b a d" where only that one is given; a
// missing self-pair is 0. An ID is found when any line names it. Fails naming the line of a
// pair that is no pair or whose distance is no number, the pair given twice with two values,
// and two found IDs with no distance between them in either order. The fields are split at
// tabs where the first line's are (pairs_split_at_tabs), else at runs of blanks. On two cores a
// large plain file is read in two halves at once and joined, with the same outcome: where that
// cannot be had (an error, a pair given two values), one thread reads it all and says where.
// `cores` may force either way. With `allow_na`, a missing value (NA, NaN, nothing) is taken as
// one, its text kept.
std::optional<io::IoError> read_pairs(io::LineReader& pairs, IdTable& ids, bool keep_texts,
                                      const io::Progress& progress, std::optional<PairMatrix>& matrix,
                                      threads::Cores cores = threads::Cores::from_affinity, bool allow_na = false);

}  // namespace orvane
