#include "io/name_lines.hpp"

#include <algorithm>

namespace io {

text::NameList read_name_lines(LineReader& list) {
    list.skip_byte_order_mark();
    text::NameList names;
    while (!list.at_end_of_file()) {
        const std::string_view name = without_carriage_return(list.take_until('\n'));
        if (!name.empty()) {
            names.add(name);
        }
    }
    return names;
}

text::NameList read_name_column(LineReader& list, std::uint32_t column, std::optional<std::uint64_t>& short_line) {
    list.skip_byte_order_mark();
    text::NameList names;
    const auto blank = [](char c) { return c == ' ' || c == '\t'; };
    for (std::uint64_t line_number = 1; !list.at_end_of_file(); ++line_number) {
        std::string_view line = without_carriage_return(list.take_until('\n'));
        std::string_view field;
        std::uint32_t fields = 0;
        while (fields < column) {
            const auto start = std::find_if_not(line.begin(), line.end(), blank);
            if (start == line.end()) {
                break;
            }
            const auto end = std::find_if(start, line.end(), blank);
            field = line.substr(static_cast<std::size_t>(start - line.begin()), static_cast<std::size_t>(end - start));
            line.remove_prefix(static_cast<std::size_t>(end - line.begin()));
            ++fields;
        }
        if (fields == column) {
            names.add(field);
        } else if (fields > 0 && !short_line) {
            short_line = line_number;
        }
    }
    return names;
}

}  // namespace io
