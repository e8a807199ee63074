// Numbers read from text exactly as formatted stream extraction reads a float or a double in the
// "C" locale, over a range of bytes, for every field reader of the matrix.
#pragma once

#include <array>
#include <string_view>

namespace orvane {

// Reads the number at `first`, in [first, last): optional sign, digits, one point, exponent,
// gathered as `stream >> value` gathers them; a value too large for the type fails, one too small
// rounds towards zero. Returns the end of the characters taken (bytes after the number, such
// as junk glued to it, are left), or null when they form no number. The caller must know that
// the number does not run on past `last`: a return equal to `last` may be a number cut short.
template <typename T>  // float or double
[[nodiscard]] const char* parse_number(const char* first, const char* last, T& value);

// Whether `text` is plainly a number parse_number reads whole, told without converting it: a
// short decimal with at most a two-digit exponent. False says only "not plainly": parse_number
// decides such a text.
bool plainly_a_number(std::string_view text);

// Whether `text` stands for a missing value as R and pandas write one: NA, NaN in any case, or
// nothing (an empty cell).
bool is_missing_value(std::string_view text);

// The shortest text that reads back as the same double, as tables write a value they did not
// read as text; in `room`, which it stays valid with.
using ShortestText = std::array<char, 32>;
std::string_view shortest_text(double value, ShortestText& text);

}  // namespace orvane
