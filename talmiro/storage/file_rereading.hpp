// Reading a file again at any offset, for records written in list order long after they were
// scanned: from the input file itself, or from the spool's temporary file.
#pragma once

#include <cstdint>
#include <functional>
#include <string_view>
#include <vector>

namespace talmiro {

// Keeps the stretch it read last, so records asked for in file order cost one read per stretch.
class FileRereader {
public:
    // Hands bytes [offset, offset + length) of `fd` to `use`, in pieces, reading `stretch` bytes
    // (at least the record's, up to a megabyte) where they are not held already. False when the
    // file gave fewer (cut short, or a read error: errno says which).
    bool read(int fd, std::uint64_t offset, std::uint64_t length, std::size_t stretch,
              const std::function<void(std::string_view)>& use);

    static constexpr std::size_t most = std::size_t{1} << 20;

private:
    std::vector<char> held_;  // the file's bytes from held_offset_
    std::uint64_t held_offset_ = 0;
};

}  // namespace talmiro
