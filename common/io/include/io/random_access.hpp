// Reading a file's text from an offset rather than from its start: the file as stored, or the
// BGZF members that hold the bytes. Indexes build on this; a gzip or zstd stream cannot be read
// so.
#pragma once

#include "io/byte_source.hpp"

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

// The text [begin, end) of `file` (which must outlive the source): read where it lies in a
// plain file, or inflated from the members of a BGZF file (`members` non-null) that hold it.
// The source ends early where the file does; error() then says nothing, but a read failure or a
// damaged member is kept there.
std::unique_ptr<ByteSource> open_region(const InputFile& file, std::uint64_t begin, std::uint64_t end,
                                        const std::vector<BgzfMember>* members);

}  // namespace io
