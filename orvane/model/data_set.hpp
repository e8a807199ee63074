// What a cut holds of one data set: its rows and, for a table written as a table, their texts.
#pragma once

#include "orvane/model/distance_rows.hpp"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orvane {

// The lines of a labelled table's listed rows, kept whole so that each value can be written
// exactly as it was read.
class RowTexts {
public:
    RowTexts(std::size_t slots, char delimiter) : lines_(slots), delimiter_(delimiter) {}
    void keep(std::uint32_t slot, std::string_view line) { lines_[slot].assign(line); }
    const std::string& line(std::uint32_t slot) const { return lines_[slot]; }
    char delimiter() const { return delimiter_; }  // the input's, which split the lines

private:
    std::vector<std::string> lines_;
    char delimiter_;
};

// One data set as batch mode read it: the rows of the IDs taken and, from an input read as
// text that is written as text, each value's own text.
struct DataSet {
    DistanceRows<double> rows;
    std::optional<RowTexts> texts;
};

}  // namespace orvane
