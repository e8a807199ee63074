// A list file of one name per line, as both programs can read it.
#pragma once

#include "io/line_reader.hpp"
#include "text/name_list.hpp"

#include <cstdint>
#include <optional>

namespace io {

// Every non-empty line, without the carriage return that may end it; a byte order mark at the
// start is no part of the first name. Blanks inside a line and at its ends belong to the name.
text::NameList read_name_lines(LineReader& list);

// The `column`-th (from 1) field of every line that holds a field, fields split at runs of blanks
// and tabs, as a table of hits is read; `short_line` gets the number of the first line that has
// fields but fewer than `column` (left empty where every line has enough).
text::NameList read_name_column(LineReader& list, std::uint32_t column, std::optional<std::uint64_t>& short_line);

}  // namespace io
