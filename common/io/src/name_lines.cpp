#include "io/name_lines.hpp"

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

}  // namespace io
