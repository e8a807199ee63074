#include "line_reader.hpp"

#include <utility>

namespace talmiro {

LineReader::LineReader(io::InputFile file, std::size_t buffer_size, io::ReadBuffer::Access access)
    : input_(std::move(file), buffer_size, access) {}

void LineReader::skip_byte() {
    if (input_.pos() < input_.end() || input_.refill()) {
        input_.set_pos(input_.pos() + 1);
    }
}

std::string_view LineReader::take_until(char delimiter) {
    std::size_t start = input_.pos();
    std::size_t searched = start;  // bytes before this hold no delimiter
    for (;;) {
        const char* const data = input_.data();
        const std::size_t end = input_.end();
        // (An empty window may have no storage at all yet: memchr must not see its null pointer.)
        const void* const found = end > searched ? std::memchr(data + searched, delimiter, end - searched) : nullptr;
        if (found != nullptr) {
            const auto stop = static_cast<std::size_t>(static_cast<const char*>(found) - data);
            input_.set_pos(stop + 1);
            return {data + start, stop - start};
        }
        const std::size_t scanned = end - start;
        input_.set_pos(end);
        if (!input_.refill(start)) {
            at_end_of_file_ = true;
            return {input_.data() + start, input_.end() - start};
        }
        searched = start + scanned;
    }
}

}  // namespace talmiro
