// The bytes the field's readers take in a sequence or quality line: '!' to '~', printable and
// not white space (C's isgraph). Sixteen bytes at a time, as they are asked of every line a
// FASTQ or FASTA file holds.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace text {

// Where the first byte outside '!' to '~' stands in `bytes`, or npos.
std::size_t first_unprintable(std::string_view bytes);
// How many bytes of `bytes` lie outside '!' to '~'.
std::uint64_t count_unprintable(std::string_view bytes);

}  // namespace text
