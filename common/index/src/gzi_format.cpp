#include "index/gzi_format.hpp"

#include "index/byte_codec.hpp"

namespace indexing {

std::string gzi_bytes(const std::vector<io::BgzfMember>& members) {
    std::string bytes;
    const std::size_t count = members.empty() ? 0 : members.size() - 1;
    bytes.reserve(8 + 16 * count);
    ByteWriter writer(bytes);
    writer.put(static_cast<std::uint64_t>(count));
    for (std::size_t index = 1; index < members.size(); ++index) {
        writer.put(members[index].stored);
        writer.put(members[index].text);
    }
    return bytes;
}

std::optional<std::vector<io::BgzfMember>> parse_gzi(std::string_view bytes) {
    ByteReader reader(bytes);
    const auto count = reader.take<std::uint64_t>();
    if (!reader.good() || count > reader.left() / 16 || reader.left() != 16 * count) {
        return std::nullopt;
    }
    std::vector<io::BgzfMember> members{{0, 0}};
    for (std::uint64_t index = 0; index < count; ++index) {
        io::BgzfMember member;
        member.stored = reader.take<std::uint64_t>();
        member.text = reader.take<std::uint64_t>();
        if (member.stored <= members.back().stored || member.text < members.back().text ||
            member.text - members.back().text > io::largest_bgzf_member) {
            return std::nullopt;
        }
        members.push_back(member);
    }
    return members;
}

}  // namespace indexing
