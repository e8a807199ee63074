// An index given another stamp, as a change that slipped past the stamp (an edit within one tick
// of the file system's clock) would leave it, or as it is once its file has settled. For the
// tests and the fuzz targets alike: it needs nothing but the index engine.
#pragma once

#include "index/index_header.hpp"

#include <optional>
#include <string>

namespace testing_support {

// The index `bytes` (of a kind whose header holds `facts_size` bytes of facts) with `stamp` in
// its header and no call for a content check; nothing where its header cannot be read.
inline std::optional<std::string> restamped(std::string bytes, const io::FileStamp& stamp, std::size_t facts_size) {
    if (bytes.size() < 12) {
        return std::nullopt;
    }
    indexing::ByteReader version(std::string_view(bytes).substr(8, 4));
    const std::string magic = bytes.substr(0, 8);
    const indexing::IndexKind kind{magic, version.take<std::uint32_t>(), "test", facts_size};
    indexing::HeaderFault fault{};
    std::string why_not;
    std::optional<indexing::IndexHeader> header = indexing::read_header(bytes, kind, fault, why_not);
    if (!header) {
        return std::nullopt;
    }
    header->stamp = stamp;
    header->check_content = false;
    bytes.replace(0, indexing::header_size(kind), indexing::header_bytes(kind, *header));
    return bytes;
}

}  // namespace testing_support
