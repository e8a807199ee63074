// The bytes the field's readers take in a sequence or quality line: '!' to '~', printable and
// not white space (C's isgraph). Sixteen bytes at a time, as they are asked of every line a
// FASTQ or FASTA file holds.
#pragma once

#include <cstddef>
#include <string_view>

namespace text {

// Where the first byte outside '!' to '~' stands in `bytes`, or npos.
std::size_t first_unprintable(std::string_view bytes);
// Whether every byte of `bytes` outside '!' to '~' is a line break, or a carriage return right
// before one: lines of letters alone.
bool only_line_ends_unprintable(std::string_view bytes);

}  // namespace text
