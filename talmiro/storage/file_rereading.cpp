#include "talmiro/storage/file_rereading.hpp"

#include "io/file_system.hpp"

#include <algorithm>
#include <cerrno>

namespace talmiro {

bool FileRereader::read(int fd, std::uint64_t offset, std::uint64_t length, std::size_t stretch,
                        const std::function<void(std::string_view)>& use) {
    while (length > 0) {
        if (offset < held_offset_ || offset >= held_offset_ + held_.size()) {
            held_.resize(std::clamp<std::size_t>(stretch, 1, most));
            const std::optional<std::size_t> got = io::read_at(fd, offset, held_.data(), held_.size());
            held_.resize(got.value_or(0));
            held_offset_ = offset;
            if (held_.empty()) {
                if (got) {
                    errno = 0;
                }
                return false;
            }
        }
        const auto at = static_cast<std::size_t>(offset - held_offset_);
        const auto part = static_cast<std::size_t>(std::min<std::uint64_t>(length, held_.size() - at));
        use({held_.data() + at, part});
        offset += part;
        length -= part;
    }
    return true;
}

}  // namespace talmiro
