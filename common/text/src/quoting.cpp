#include "text/quoting.hpp"

#include <cstdio>

namespace text {

namespace {

// The length of the well-formed UTF-8 sequence at `at` (2 to 4 bytes), or 0.
std::size_t utf8_sequence(std::string_view text, std::size_t at) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(at);
    const std::size_t length = lead >= 0xF0 && lead <= 0xF4  ? 4
                               : lead >= 0xE0                ? 3
                               : lead >= 0xC2 && lead < 0xE0 ? 2
                                                             : 0;
    if (length == 0 || at + length > text.size()) {
        return 0;
    }
    for (std::size_t i = 1; i < length; ++i) {
        if ((byte(at + i) & 0xC0) != 0x80) {
            return 0;
        }
    }
    // Overlong forms, surrogates and code points past U+10FFFF are no UTF-8.
    const unsigned char second = byte(at + 1);
    if ((lead == 0xE0 && second < 0xA0) || (lead == 0xED && second >= 0xA0) || (lead == 0xF0 && second < 0x90) ||
        (lead == 0xF4 && second >= 0x90)) {
        return 0;
    }
    return length;
}

}  // namespace

std::string quoted(std::string_view name) {
    std::string text = "'";
    for (std::size_t at = 0; at < name.size(); ++at) {
        const auto c = static_cast<unsigned char>(name[at]);
        if (c >= 0x80) {
            if (const std::size_t length = utf8_sequence(name, at); length > 0) {
                text.append(name.substr(at, length));
                at += length - 1;
                continue;
            }
        }
        switch (c) {
        case '\t':
            text += "\\t";
            break;
        case '\n':
            text += "\\n";
            break;
        case '\r':
            text += "\\r";
            break;
        case '\\':
            text += "\\\\";
            break;
        case '\'':
            text += "\\'";
            break;
        default:
            if (c < 0x20 || c >= 0x7F) {
                char escaped[5];
                std::snprintf(escaped, sizeof escaped, "\\x%02X", c);
                text += escaped;
            } else {
                text += static_cast<char>(c);
            }
        }
    }
    return text + "'";
}

std::string file_label(std::string_view path, bool output) {
    if (path == "-") {
        return output ? "standard output" : "standard input";
    }
    return quoted(path);
}

}  // namespace text
