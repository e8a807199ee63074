#include "talmiro/name_list_reading.hpp"

namespace talmiro {

text::NameList read_name_lines(io::LineReader& list) {
    list.skip_byte_order_mark();
    text::NameList names;
    while (!list.at_end_of_file()) {
        const std::string_view name = io::without_carriage_return(list.take_until('\n'));
        if (!name.empty()) {
            names.add(name);
        }
    }
    return names;
}

}  // namespace talmiro
