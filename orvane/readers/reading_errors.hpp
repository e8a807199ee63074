// What orvane's readers say when a matrix cannot be read on: I/O errors that name the file,
// the line where it is known, and why.
#pragma once

#include "io/io_error.hpp"
#include "orvane/parse/token_reader.hpp"

#include <string>
#include <string_view>

namespace orvane {

// "row 'P': 'NA' is no number", or naming the column too: "row 'P', column 'Q': 'NA' is no
// number".
std::string no_number(std::string_view row, std::string_view text, std::string_view column = {});

// "the ID 'P' names rows 2 and 5": a listed ID heading two rows, whose values would otherwise
// be the last row's without a word (rows counted from 0 here, from 1 in the text).
std::string twice_named(std::string_view id, std::int64_t first_row, std::int64_t second_row);

// Why `reader` stopped in the row named `row_name`: its file's read error, the text at its
// cursor that is no number, or else the end of the file, as `ended` tells it.
io::IoError token_stop(TokenReader& reader, std::string_view row_name, std::string ended);

}  // namespace orvane
