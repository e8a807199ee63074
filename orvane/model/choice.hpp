// What a batch run asks for, read once from its options: the layouts as layouts, never names
// to look up again.
#pragma once

#include "orvane/formats/layouts.hpp"

#include <cstdint>
#include <optional>

namespace orvane {

// More decimals than a double holds digits would only write noise.
inline constexpr std::uint32_t most_decimals = 17;

struct Choice {
    std::optional<Layout> input_layout;     // none: told from the file's first lines
    std::optional<Layout> output_layout;    // none: the input's
    bool list_lines = false;                // the list holds one ID per line, blanks and all
    std::uint32_t list_column = 0;          // the IDs are this field of each line (from 1); 0: none
    bool check = false;                     // the cut must be symmetric with a zero diagonal
    bool exclude = false;                   // keep every ID but the listed, in matrix order
    std::uint32_t dataset = 0;              // the one data set to cut (from 1); 0: every one
    bool use_index = true;                  // a MATRIX.oix beside the file may be used
    std::optional<std::uint32_t> decimals;  // values in fixed point; none: each as the input wrote it
    bool allow_na = false;                  // missing values (NA, NaN, empty) pass into table outputs

    // The layout written, for an input read in `input`.
    Layout output_for(Layout input) const { return output_layout.value_or(input); }
};

}  // namespace orvane
