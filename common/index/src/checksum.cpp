#include "index/checksum.hpp"

#include "io/file_system.hpp"

#include <isa-l/crc64.h>

#include <cerrno>
#include <vector>

namespace indexing {

std::uint64_t checksum(std::string_view bytes, std::uint64_t running) {
    return crc64_ecma_refl(running, reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
}

std::optional<std::uint64_t> checksum_file(int fd, const std::string& path, std::uint64_t size,
                                           std::optional<io::IoError>& error) {
    // Large enough that the calls cost nothing beside the copying, small enough to stay in cache.
    std::vector<char> piece(std::size_t{1} << 20);
    std::uint64_t sum = 0;
    for (std::uint64_t at = 0; at < size;) {
        const std::size_t wanted = static_cast<std::size_t>(std::min<std::uint64_t>(piece.size(), size - at));
        const std::optional<std::size_t> got = io::read_at(fd, at, piece.data(), wanted);
        if (!got) {
            error = io::IoError{io::IoError::Action::read, path, errno, {}};
            return std::nullopt;
        }
        if (*got == 0) {
            error = io::IoError::changed_while_read(path);
            return std::nullopt;
        }
        sum = checksum({piece.data(), *got}, sum);
        at += *got;
    }
    return sum;
}

}  // namespace indexing
