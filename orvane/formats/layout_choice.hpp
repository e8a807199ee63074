// Which layout a matrix file is read in: the one named, or the one its first lines show.
#pragma once

#include "io/read_buffer.hpp"
#include "orvane/formats/layouts.hpp"

#include <optional>

namespace orvane {

// The most of a file's start looked at for an order, and for a table's first lines.
inline constexpr std::size_t enough_for_an_order = std::size_t{1} << 20;

// How the rows of the square matrix `input` begins hold their names, from its first lines (read,
// not taken).
RowNames square_names_of(io::ReadBuffer& input);

// The layout `named`, or where none is, the one told from the first lines (the input's byte
// order mark passed over), into `detection`; or why it cannot be told.
std::optional<io::IoError> choose_layout(io::ReadBuffer& input, std::optional<Layout> named, Detection& detection);

}  // namespace orvane
