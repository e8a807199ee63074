// Numbers read from text exactly as formatted stream extraction reads a float in the "C" locale,
// over a range of bytes, for every field reader of the matrix.
#pragma once

namespace orvane {

// Reads the number at `first`, in [first, last): optional sign, digits, one point, exponent,
// gathered as `stream >> float` gathers them; a value too large for a float fails, one too small
// rounds towards zero. Returns the end of the characters taken (bytes after the number, such
// as junk glued to it, are left), or null when they form no number. The caller must know that
// the number does not run on past `last`: a return equal to `last` may be a number cut short.
const char* parse_float(const char* first, const char* last, float& value);

}  // namespace orvane
