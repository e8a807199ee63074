// Names as messages show them.
#pragma once

#include <string>
#include <string_view>

namespace text {

// A name in single quotes, with control characters, quotes and bytes that are no UTF-8
// escaped, so that a trailing tab or a stray byte can be seen.
std::string quoted(std::string_view name);

// A file as messages name it: quoted, or "standard input" / "standard output" for "-".
std::string file_label(std::string_view path, bool output);

}  // namespace text
