// Files of other kinds that users hand a sequence or matrix tool by mistake, told by their first
// bytes (after any decompression) so that batch mode refuses them by name rather than read them
// as garbage records or rows.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace io {

// The bytes that tell every kind below apart (a tar header's magic sits at 257).
constexpr std::size_t foreign_content_bytes = 263;

// What the text beginning with `start` looks like, when it is a kind no reader here takes:
// "a BAM file", "a CRAM file", "a zip archive"...; none for anything else.
std::optional<std::string> foreign_content(std::string_view start);

}  // namespace io
