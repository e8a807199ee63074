// Reading talmiro's list file.
#pragma once

#include "io/line_reader.hpp"
#include "text/name_list.hpp"

namespace talmiro {

// Every non-empty line of the list file, without the carriage return that may end it.
text::NameList read_name_lines(io::LineReader& list);

}  // namespace talmiro
