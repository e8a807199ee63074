#include "talmiro/storage/file_rereading.hpp"

#include <algorithm>
#include <cerrno>
#include <unistd.h>

namespace talmiro {

bool FileRereader::read(int fd, std::uint64_t offset, std::uint64_t length, std::size_t stretch,
                        const std::function<void(std::string_view)>& use) {
    while (length > 0) {
        if (offset < held_offset_ || offset >= held_offset_ + held_.size()) {
            held_.resize(std::clamp<std::size_t>(stretch, 1, most));
            ssize_t got = -1;
            do {
                got = ::pread(fd, held_.data(), held_.size(), static_cast<off_t>(offset));
            } while (got < 0 && errno == EINTR);
            held_.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
            held_offset_ = offset;
            if (held_.empty()) {
                if (got == 0) {
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
