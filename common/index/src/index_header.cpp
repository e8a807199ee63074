#include "index/index_header.hpp"

namespace indexing {

void write_header(ByteWriter& writer, const IndexKind& kind, const IndexHeader& header) {
    writer.put_bytes(kind.magic);
    writer.put(kind.version);
    writer.put(header.flags);
    writer.put(header.stamp.size);
    writer.put(header.stamp.seconds);
    writer.put(header.stamp.nanoseconds);
}

std::optional<IndexHeader> read_header(ByteReader& reader, const IndexKind& kind, std::string& why_not) {
    if (reader.take_bytes(kind.magic.size()) != kind.magic) {
        why_not = "it is no " + std::string(kind.program) + " index";
        return std::nullopt;
    }
    const auto version = reader.take<std::uint32_t>();
    if (reader.good() && version != kind.version) {
        why_not = "it is of version " + std::to_string(version) + ", this " + std::string(kind.program) +
                  " reads version " + std::to_string(kind.version);
        return std::nullopt;
    }
    IndexHeader header;
    header.flags = reader.take<std::uint32_t>();
    header.stamp.size = reader.take<std::uint64_t>();
    header.stamp.seconds = reader.take<std::int64_t>();
    header.stamp.nanoseconds = reader.take<std::int64_t>();
    return header;
}

}  // namespace indexing
