// The dialogue's meter labels, which the run hands to the readers' and writers' progress.
#pragma once

#include <string_view>

namespace orvane {

inline constexpr std::string_view reading_label = "Reading INPUT distance matrix file. Completed... ";
inline constexpr std::string_view writing_label = "Writing OUTPUT files. Completed... ";

}  // namespace orvane
