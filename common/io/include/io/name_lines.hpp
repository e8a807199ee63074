// A list file of one name per line, as both programs can read it.
#pragma once

#include "io/line_reader.hpp"
#include "text/name_list.hpp"

namespace io {

// Every non-empty line, without the carriage return that may end it; a byte order mark at the
// start is no part of the first name. Blanks inside a line and at its ends belong to the name.
text::NameList read_name_lines(LineReader& list);

}  // namespace io
