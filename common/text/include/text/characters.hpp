// The classes of bytes that separate words in every format read here.
#pragma once

namespace text {

// What the stream library skips between words: space, tab, line feed, vertical tab, form feed
// and carriage return, whatever the locale.
constexpr bool is_blank(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

}  // namespace text
