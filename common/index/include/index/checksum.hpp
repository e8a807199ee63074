// The one checksum of every index: CRC-64 (ECMA-182, as xz uses it) by ISA-L, which runs at
// memory speed, so that summing a whole file costs no more than reading it.
#pragma once

#include "io/io_error.hpp"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace indexing {

// The checksum of `bytes`, continuing from `running` (the checksum of what came before).
std::uint64_t checksum(std::string_view bytes, std::uint64_t running = 0);

// Whether summing a file may take a second core.
enum class Sharing { one_core, two_cores };

// The checksum of the first `size` bytes of the file open as `fd`, as stored (for a compressed
// file, its compressed bytes): the checksum of the checksums of its 64 MiB pieces, one after
// another (64 bits each, little-endian), so that two cores can share the work. Read in large
// pieces at their offsets, so that the descriptor's own position is left be; nothing, with
// `error`, where a read fails or the file is shorter.
std::optional<std::uint64_t> checksum_file(int fd, const std::string& path, std::uint64_t size,
                                           std::optional<io::IoError>& error, Sharing sharing = Sharing::two_cores);

// The same checksum built up from a file's bytes as they go by, in order.
class ContentChecksum {
public:
    void add(std::string_view bytes);
    std::uint64_t value() const;
    std::uint64_t size() const { return size_; }

private:
    std::string piece_sums_;  // of the whole pieces, 64 bits each, little-endian
    std::uint64_t piece_sum_ = 0;
    std::uint64_t in_piece_ = 0;
    std::uint64_t size_ = 0;
};

}  // namespace indexing
