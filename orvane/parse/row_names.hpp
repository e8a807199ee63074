// How the rows of a square matrix or lower triangle hold their names. Tokens, as most writers
// write them; all up to a tab, blanks and all, as mash triangle writes "g 1.fa\t0.1"; or the
// first 10 characters of the row's first line, as PHYLIP's programs write them ("B. virgini",
// or "catcatcatc0.0", the name touching its first value), where the rows do not read as tokens.
#pragma once

#include <cstddef>

namespace orvane {

enum class RowNames { tokens, to_tabs, phylip_field };

// The width of PHYLIP's name field.
inline constexpr std::size_t phylip_name_width = 10;

}  // namespace orvane
