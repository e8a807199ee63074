// samtools' .gzi: where each BGZF member begins in the file and in the text, so that a BGZF file
// is read from the middle. The number of members after the first, then each one's two offsets,
// all 64-bit little-endian.
#pragma once

#include "io/random_access.hpp"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace indexing {

std::string gzi_bytes(const std::vector<io::BgzfMember>& members);
// The members a .gzi holds (with the first put back); nothing when the bytes are no .gzi.
std::optional<std::vector<io::BgzfMember>> parse_gzi(std::string_view bytes);

}  // namespace indexing
