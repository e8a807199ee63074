// The dialogue's meter labels, which the run hands to the readers' and writers' progress.
#pragma once

#include <string_view>

namespace talmiro {

inline constexpr std::string_view reading_label = "Reading Input file. Completed... ";
inline constexpr std::string_view writing_label = "Writing Output file. Completed... ";

}  // namespace talmiro
