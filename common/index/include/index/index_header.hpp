// What every index of ours begins with: an 8-byte magic, the format's version, its flags, who
// the indexed file is (io::FileStamp) and the checksum of its whole content, the size of the
// body that follows, the program's own facts, and a checksum of all of it. A reader that meets
// another program's index, or another version, says so rather than reading it as damaged.
#pragma once

#include "index/byte_codec.hpp"
#include "io/mapped_file.hpp"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace indexing {

// One kind of index file: its magic (8 bytes), the version this build writes and reads, the
// program that owns it (for messages) and the size of the facts it keeps in the header (a
// multiple of 8, so that the body after the header is aligned for reading in place).
struct IndexKind {
    std::string_view magic;
    std::uint32_t version;
    std::string_view program;
    std::size_t facts_size;
};

struct IndexHeader {
    std::uint32_t flags = 0;  // the program's own
    io::FileStamp stamp;
    std::uint64_t content = 0;  // the checksum of the file's bytes as stored
    // The stamp was taken within one tick of the file system's clock of a change, which a later
    // change in the same tick would not move: the content is checked once at first use.
    bool check_content = false;
    std::uint64_t body_size = 0;
    std::string facts;  // IndexKind::facts_size bytes
};

// The bytes before the facts, and after them the header's own checksum.
inline constexpr std::size_t header_prefix_size = 8 + 4 + 4 + 6 * 8 + 8 + 8 + 8;
constexpr std::size_t header_size(const IndexKind& kind) { return header_prefix_size + kind.facts_size + 8; }

// The header's bytes, its checksum last.
std::string header_bytes(const IndexKind& kind, const IndexHeader& header);

// Why a header cannot be read.
enum class HeaderFault {
    foreign,  // another program's file, or none of ours
    version,  // ours, of another version
    damaged,
};

// The header at the start of `bytes`, or nothing with `fault` and `why_not` saying why.
std::optional<IndexHeader> read_header(std::string_view bytes, const IndexKind& kind, HeaderFault& fault,
                                       std::string& why_not);

}  // namespace indexing
