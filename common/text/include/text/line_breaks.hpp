// Counting line breaks, which every reader that names lines in its messages does over all it
// reads: sixteen bytes at a time, the counts kept in byte lanes.
#pragma once

#include <cstdint>
#include <string_view>

namespace text {

// The number of '\n' in `bytes`.
std::uint64_t count_line_breaks(std::string_view bytes);

}  // namespace text
