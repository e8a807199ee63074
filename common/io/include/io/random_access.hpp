// Reading a file's text from an offset rather than from its start: the file as stored, or the
// BGZF members that hold the bytes. Indexes build on this; a gzip or zstd stream cannot be read
// so.
#pragma once

#include "io/byte_source.hpp"

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace io {

// How a file holds its text, as its first bytes say.
enum class Storage { plain, bgzf, gzip, zstd, bzip2, xz };
Storage storage_of(const InputFile& file);
// A compressed stream that can be read only from its start: its format's name ("gzip", "zstd",
// "bzip2", "xz"); none for a plain file or BGZF, which can be read from the middle.
std::optional<std::string> stream_only(Storage storage);

// A BGZF member's place: where it starts in the file and in the text.
struct BgzfMember {
    std::uint64_t stored;
    std::uint64_t text;
};

// Every member of a BGZF file that holds text, the first (0, 0) included, in file order; read from the members'
// headers and trailers without inflating any. Nothing when the file is no whole BGZF file.
std::optional<std::vector<BgzfMember>> list_bgzf_members(const InputFile& file, std::optional<IoError>& error);

// The most text a BGZF member holds.
inline constexpr std::size_t largest_bgzf_member = std::size_t{1} << 16;

class BgzfReadAhead;

// A stretch of a file's text, [begin, end).
struct TextRange {
    std::uint64_t begin;
    std::uint64_t end;
};

// The members of one BGZF file inflated last, by where they are stored: regions read one after
// another (records in file order, a dozen to a member) inflate a member they share once. The
// text is shared, never copied: a region keeps what it reads alive. Where the run knows what
// it will read, the members are inflated ahead on helper threads.
class BgzfMemberCache {
public:
    struct Member {
        std::uint64_t stored = UINT64_MAX;
        std::size_t size = 0;  // compressed, to the next member
        std::shared_ptr<const std::vector<char>> text;
    };
    BgzfMemberCache();
    ~BgzfMemberCache();
    BgzfMemberCache(const BgzfMemberCache&) = delete;
    BgzfMemberCache& operator=(const BgzfMemberCache&) = delete;

    // The text of `ranges` will be read in this order: the members holding it are inflated
    // ahead, each once, on `helpers` threads and by the reader where it gets to one no helper
    // has begun (no helpers: as the reading needs them). `file` and `members` must outlive the
    // cache.
    void read_ahead(const InputFile& file, const std::vector<BgzfMember>& members, const std::vector<TextRange>& ranges,
                    unsigned helpers);
    // The member stored at `stored`, inflated, where the cache has it or inflates it ahead (it
    // then waits for it); null otherwise.
    const Member* find(std::uint64_t stored);
    void keep(Member member);

private:
    static constexpr std::size_t kept = 4;
    std::array<Member, kept> members_{};
    std::size_t next_ = 0;
    std::unique_ptr<BgzfReadAhead> ahead_;
};

// The text [begin, end) of `file` (which must outlive the source): read where it lies in a
// plain file, or inflated from the members of a BGZF file (`members` non-null) that hold it,
// through `cache` where given (which must outlive the source too). The source ends early where
// the file does; error() then says nothing, but a read failure or a damaged member is kept there.
std::unique_ptr<ByteSource> open_region(const InputFile& file, std::uint64_t begin, std::uint64_t end,
                                        const std::vector<BgzfMember>* members, BgzfMemberCache* cache = nullptr);

}  // namespace io
