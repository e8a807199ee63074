// Writing the extracted matrix and the sample file.
#pragma once

#include "dialogue.hpp"
#include "io.hpp"
#include "matrix_reading.hpp"

#include <array>
#include <cstddef>
#include <string_view>

namespace orvane {

// Room for any double in fixed notation with six decimals (up to 309 integer digits), a sign
// and the separating space.
using DistanceField = std::array<char, 320>;

// A distance as a right-aligned field of 10, fixed, six decimals. A text that fills or
// overflows the field gets one space before it so that neighbouring values never touch.
std::string_view format_distance(float distance, DistanceField& field);
std::string_view format_distance(double distance, DistanceField& field);

// The shapes of the fixed-width layouts: the whole square, or the lower triangle (row k holds
// its values to the k rows before it).
enum class Shape { square, lower };

// Writes the matrix and the sample (each when there is one) in list order, one row per found
// entry, and draws the writing meter (the caller ends its line). Returns the number of rows.
template <typename Distance>
std::size_t write_output_files(io::OutputFile* matrix, io::OutputFile* sample, const IdTable& ids,
                               const DistanceRows<Distance>& rows, console::Meter& meter, Shape shape = Shape::square);

}  // namespace orvane
