#include "index/checksum.hpp"

#include "index/byte_codec.hpp"
#include "io/file_system.hpp"
#include "threads/helper.hpp"

#include <isa-l/crc64.h>

#include <cerrno>
#include <memory>
#include <vector>

namespace indexing {

namespace {

constexpr std::uint64_t piece_size = std::uint64_t{64} << 20;

// The checksums of every `step`-th piece from `first` on, each into its place in `sums`; false,
// with `error`, where a read fails or the file ends early.
bool sum_pieces(int fd, const std::string& path, std::uint64_t size, std::size_t first, std::size_t step,
                std::vector<std::uint64_t>& sums, std::optional<io::IoError>& error) {
    // Large enough that the calls cost nothing beside the copying, small enough to stay in cache.
    std::vector<char> buffer(std::size_t{1} << 20);
    for (std::size_t piece = first; piece < sums.size(); piece += step) {
        const std::uint64_t end = std::min(size, (piece + 1) * piece_size);
        std::uint64_t sum = 0;
        for (std::uint64_t at = piece * piece_size; at < end;) {
            const auto wanted = static_cast<std::size_t>(std::min<std::uint64_t>(buffer.size(), end - at));
            const std::optional<std::size_t> got = io::read_at(fd, at, buffer.data(), wanted);
            if (!got || *got == 0) {
                error = got ? io::IoError::changed_while_read(path)
                            : io::IoError{io::IoError::Action::read, path, errno, {}};
                return false;
            }
            sum = checksum({buffer.data(), *got}, sum);
            at += *got;
        }
        sums[piece] = sum;
    }
    return true;
}

}  // namespace

void ContentChecksum::add(std::string_view bytes) {
    size_ += bytes.size();
    while (!bytes.empty()) {
        const auto taken = static_cast<std::size_t>(std::min<std::uint64_t>(bytes.size(), piece_size - in_piece_));
        piece_sum_ = checksum(bytes.substr(0, taken), piece_sum_);
        in_piece_ += taken;
        bytes.remove_prefix(taken);
        if (in_piece_ == piece_size) {
            ByteWriter(piece_sums_).put(piece_sum_);
            piece_sum_ = 0;
            in_piece_ = 0;
        }
    }
}

std::uint64_t ContentChecksum::value() const {
    std::string sums = piece_sums_;
    if (in_piece_ > 0) {
        ByteWriter(sums).put(piece_sum_);
    }
    return checksum(sums);
}

std::uint64_t checksum(std::string_view bytes, std::uint64_t running) {
    return crc64_ecma_refl(running, reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
}

std::optional<std::uint64_t> checksum_file(int fd, const std::string& path, std::uint64_t size,
                                           std::optional<io::IoError>& error, Sharing sharing) {
    std::vector<std::uint64_t> sums(static_cast<std::size_t>((size + piece_size - 1) / piece_size));
    bool helped = true;
    std::optional<io::IoError> helper_error;
    {
        std::unique_ptr<threads::Helper> helper;
        if (sharing == Sharing::two_cores && sums.size() > 1 && threads::second_core(threads::Cores::from_affinity)) {
            helper = std::make_unique<threads::Helper>(
                [&](const std::stop_token&) { helped = sum_pieces(fd, path, size, 1, 2, sums, helper_error); });
        }
        const bool split = helper && helper->running();
        if (!sum_pieces(fd, path, size, 0, split ? 2 : 1, sums, error)) {
            return std::nullopt;
        }
    }  // the helper is joined here
    if (!helped) {
        error = helper_error;
        return std::nullopt;
    }
    std::string pieces;
    ByteWriter writer(pieces);
    for (const std::uint64_t sum : sums) {
        writer.put(sum);
    }
    return checksum(pieces);
}

}  // namespace indexing
