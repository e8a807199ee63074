// What every index of ours begins with: an 8-byte magic, the format's version, its flags and the
// stamp (size and modification time) of the file it was made for. A reader that meets another
// program's index, or another version, says so rather than reading it as damaged.
#pragma once

#include "index/byte_codec.hpp"
#include "io/mapped_file.hpp"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace indexing {

// One kind of index file: its magic (8 bytes), the version this build writes and reads, and the
// program that owns it, for messages.
struct IndexKind {
    std::string_view magic;
    std::uint32_t version;
    std::string_view program;
};

struct IndexHeader {
    std::uint32_t flags = 0;
    io::FileStamp stamp;
};

inline constexpr std::size_t index_header_size = 8 + 4 + 4 + 8 + 8 + 8;

void write_header(ByteWriter& writer, const IndexKind& kind, const IndexHeader& header);

// The header, or nothing with `why_not` saying the bytes are another program's or another
// version's. Bytes cut short inside the header leave `reader` failed, for the caller to call
// damage.
std::optional<IndexHeader> read_header(ByteReader& reader, const IndexKind& kind, std::string& why_not);

}  // namespace indexing
