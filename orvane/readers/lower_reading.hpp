// Reading lower triangles, as PHYLIP's programs write them with the L option.
#pragma once

#include "io/io_error.hpp"
#include "io/progress.hpp"
#include "orvane/formats/layouts.hpp"
#include "orvane/model/data_set.hpp"
#include "orvane/model/distance_rows.hpp"
#include "orvane/model/id_table.hpp"
#include "orvane/parse/token_reader.hpp"

#include <cstdint>
#include <optional>
#include <vector>

namespace orvane {

// The listed rows of a lower triangle as they come, in file order: each fills its own row and,
// from its values, the earlier listed rows' columns for it; with `texts` (of a lower shape), each
// value's text is kept in its row.
class LowerTriangleCut {
public:
    LowerTriangleCut(bool with_diagonal, DistanceRows<double>& rows, ValueTexts* texts = nullptr)
        : with_diagonal_(with_diagonal), rows_(rows), texts_(texts) {}
    // How many values row `row` (0-based) holds.
    std::uint64_t values_in(std::int32_t row) const {
        return static_cast<std::uint64_t>(row) + (with_diagonal_ ? 1 : 0);
    }
    // Reads row `row`'s values (its name taken) for `slot`; false when they cannot all be read.
    [[nodiscard]] bool take(TokenReader& triangle, std::int32_t row, std::uint32_t slot);

private:
    struct Matched {
        std::int32_t row;
        std::uint32_t slot;
    };
    bool with_diagonal_;
    DistanceRows<double>& rows_;
    ValueTexts* texts_;
    std::vector<Matched> matched_;  // the listed rows so far, in file order
};

// A lower triangle: fills the rows of the listed IDs, each value read from the row of whichever
// of its two names comes later (each name as `triangle` reads names). Says where and why, when
// the triangle cannot be read whole.
std::optional<io::IoError> read_lower_triangle(TokenReader& triangle, IdTable& ids, std::int32_t order,
                                               bool with_diagonal, DistanceRows<double>& rows, ValueTexts* texts,
                                               const io::Progress& progress);

// How a cut of a file in `layout` holds its values' texts.
inline ValueTexts::Shape text_shape(Layout layout, bool with_diagonal) {
    if (layout != Layout::lower) {
        return ValueTexts::Shape::rows;
    }
    return with_diagonal ? ValueTexts::Shape::lower_with_diagonal : ValueTexts::Shape::lower;
}

// A row's whole name, as `matrix` reads names.
std::string take_row_name(TokenReader& matrix);

}  // namespace orvane
