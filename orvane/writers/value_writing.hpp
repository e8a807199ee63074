// Writing one distance: as a right-aligned field of the fixed-width layouts or as a table's
// cell, from the text the input held or in fixed point.
#pragma once

#include "orvane/model/data_set.hpp"
#include "orvane/model/id_table.hpp"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace orvane {

// Room for any double in fixed notation with up to 17 decimals (309 integer digits), a sign and
// the separating space.
using DistanceField = std::array<char, 340>;
inline constexpr std::size_t distance_width = 10;

// How values are written: each as its input text where `texts` holds them, else in fixed point
// with `decimals` decimals (the dialogue's six).
struct ValueFormat {
    const ValueTexts* texts = nullptr;
    std::uint32_t decimals = 6;
};

// A distance as a right-aligned field of 10, fixed, six (or `decimals`) decimals. A text that
// fills or overflows the field gets one space before it so that neighbouring values never touch.
std::string_view format_distance(float distance, DistanceField& field);
std::string_view format_distance(double distance, DistanceField& field, std::uint32_t decimals = 6);

// Writes the field at `out` and returns its end: the distance's, or `text` padded as a distance is.
template <typename Distance>
char* write_distance_field(Distance distance, std::uint32_t decimals, char* out);
char* write_text_field(std::string_view text, char* out);

// The bytes write_text_field takes for `text`.
inline std::size_t text_field_size(std::string_view text) {
    return text.size() < distance_width ? distance_width : text.size() + 1;
}

// The values of a cut, cell by cell, as its ValueFormat says: for the tables and pairs, which
// write them unpadded.
class Cells {
public:
    Cells(const IdTable& ids, const DistanceRows<double>& rows, ValueFormat format)
        : ids_(ids), rows_(rows), format_(format) {}
    // The value of `row_slot`'s ID to `column_slot`'s, valid while `room` is.
    std::string_view text(std::uint32_t row_slot, std::uint32_t column_slot, DistanceField& room) const;

private:
    const IdTable& ids_;
    const DistanceRows<double>& rows_;
    ValueFormat format_;
};

}  // namespace orvane
