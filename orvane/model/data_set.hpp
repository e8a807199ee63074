// What a cut holds of one data set: its rows and, in batch mode, each value's text.
#pragma once

#include "orvane/model/distance_rows.hpp"
#include "orvane/parse/text_row.hpp"

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace orvane {

// The texts of the listed rows' values, so that every layout writes a value exactly as it was
// read. A lower triangle's row holds only the values up to its diagonal: the rest of a cut's
// row lies in the later rows, read across.
class ValueTexts {
public:
    enum class Shape { rows, lower, lower_with_diagonal };

    explicit ValueTexts(std::size_t slots, Shape shape = Shape::rows) : rows_(slots), shape_(shape) {}
    TextRow& row(std::uint32_t slot) { return rows_[slot]; }
    const TextRow& row(std::uint32_t slot) const { return rows_[slot]; }

    // The text of the value in input row `row` (held by `row_slot`) and input column `column`
    // (the input row held by `column_slot`).
    std::string_view cell(std::uint32_t row_slot, std::int32_t row, std::uint32_t column_slot,
                          std::int32_t column) const {
        if (shape_ == Shape::rows || column < row) {
            return rows_[row_slot].value(static_cast<std::size_t>(column));
        }
        if (column == row) {
            // A triangle without its diagonal holds no distance of an ID to itself.
            return shape_ == Shape::lower ? std::string_view("0")
                                          : rows_[row_slot].value(static_cast<std::size_t>(row));
        }
        return rows_[column_slot].value(static_cast<std::size_t>(row));
    }

private:
    std::vector<TextRow> rows_;
    Shape shape_;
};

// One data set as batch mode read it: the rows of the IDs taken and, unless the values are to
// be written in a fixed number of decimals, each value's own text.
struct DataSet {
    DistanceRows<double> rows;
    std::optional<ValueTexts> texts;
};

}  // namespace orvane
