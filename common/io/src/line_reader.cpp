#include "io/line_reader.hpp"

#include <algorithm>
#include <limits>
#include <utility>

namespace io {

LineReader::LineReader(InputFile file, std::size_t buffer_size, ReadBuffer::Access access)
    : input_(std::move(file), buffer_size, access) {}

std::string_view LineReader::take_until_at_most(char delimiter, std::size_t most, bool& whole) {
    std::size_t start = input_.pos();
    std::size_t searched = start;  // bytes before this hold no delimiter
    for (;;) {
        const char* const data = input_.data();
        const std::size_t limit = std::min(input_.end(), start + most);
        const void* const found =
            limit > searched ? std::memchr(data + searched, delimiter, limit - searched) : nullptr;
        if (input_.settle()) {
            continue;  // the file shrank under the scan: scan again up to its new end
        }
        if (found != nullptr) {
            const auto stop = static_cast<std::size_t>(static_cast<const char*>(found) - data);
            input_.set_pos(stop + 1);
            whole = true;
            return {data + start, stop - start};
        }
        if (limit == start + most && input_.end() > limit) {
            // Longer than wanted (or exactly as long, the delimiter next): the rest stays unread.
            input_.set_pos(limit);
            whole = false;
            return {data + start, most};
        }
        const std::size_t scanned = limit - start;
        input_.set_pos(limit);
        if (!input_.refill(start)) {
            at_end_of_file_ = true;
            whole = true;
            return {input_.data() + start, input_.end() - start};
        }
        searched = start + scanned;
    }
}

std::string_view LineReader::take_until(char delimiter) {
    bool whole = true;
    return take_until_at_most(delimiter, std::numeric_limits<std::size_t>::max() / 2, whole);
}

}  // namespace io
