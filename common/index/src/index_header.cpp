#include "index/index_header.hpp"

#include "index/checksum.hpp"

namespace indexing {

namespace {

constexpr std::uint32_t check_content_state = 1;

}  // namespace

std::string header_bytes(const IndexKind& kind, const IndexHeader& header) {
    std::string bytes;
    ByteWriter writer(bytes);
    writer.put_bytes(kind.magic);
    writer.put(kind.version);
    writer.put(header.flags);
    const io::FileStamp& stamp = header.stamp;
    writer.put(stamp.size);
    for (const std::int64_t time : {stamp.seconds, stamp.nanoseconds, stamp.change_seconds, stamp.change_nanoseconds}) {
        writer.put(time);
    }
    writer.put(stamp.inode);
    writer.put(header.content);
    writer.put(static_cast<std::uint64_t>(header.check_content ? check_content_state : 0));
    writer.put(header.body_size);
    std::string facts = header.facts;
    facts.resize(kind.facts_size, '\0');
    writer.put_bytes(facts);
    writer.put(checksum(bytes));
    return bytes;
}

std::optional<IndexHeader> read_header(std::string_view bytes, const IndexKind& kind, HeaderFault& fault,
                                       std::string& why_not) {
    ByteReader reader(bytes);
    if (reader.take_bytes(kind.magic.size()) != kind.magic) {
        fault = HeaderFault::foreign;
        why_not = "it is no " + std::string(kind.program) + " index";
        return std::nullopt;
    }
    const auto version = reader.take<std::uint32_t>();
    if (reader.good() && version != kind.version) {
        fault = HeaderFault::version;
        why_not = "it was made by " + std::string(version < kind.version ? "an older" : "a newer") + " " +
                  std::string(kind.program) + " (its version " + std::to_string(version) + ", this one reads " +
                  std::to_string(kind.version) + ")";
        return std::nullopt;
    }
    IndexHeader header;
    header.flags = reader.take<std::uint32_t>();
    header.stamp.size = reader.take<std::uint64_t>();
    header.stamp.seconds = reader.take<std::int64_t>();
    header.stamp.nanoseconds = reader.take<std::int64_t>();
    header.stamp.change_seconds = reader.take<std::int64_t>();
    header.stamp.change_nanoseconds = reader.take<std::int64_t>();
    header.stamp.inode = reader.take<std::uint64_t>();
    header.content = reader.take<std::uint64_t>();
    const auto state = reader.take<std::uint64_t>();
    header.check_content = (state & check_content_state) != 0;
    header.body_size = reader.take<std::uint64_t>();
    header.facts = std::string(reader.take_bytes(kind.facts_size));
    const std::size_t summed = reader.position();
    const auto stored = reader.take<std::uint64_t>();
    if (!reader.good() || stored != checksum(bytes.substr(0, summed)) ||
        (state & ~std::uint64_t{check_content_state}) != 0) {
        fault = HeaderFault::damaged;
        why_not = "it is damaged (its header)";
        return std::nullopt;
    }
    return header;
}

}  // namespace indexing
