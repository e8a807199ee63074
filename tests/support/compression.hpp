// Compressed test inputs made in-process with the libraries (zlib, zstd, libbz2, liblzma), so that a test does not
// depend on which compressors the host has; the interoperability tests use the real tools.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace testing_support {

enum class Packing {
    gzip,
    gzip_two_members,
    bgzf,
    zstd,
    zstd_two_frames,
    bzip2,
    bzip2_two_streams,
    xz,
    xz_two_streams
};

struct PackingCase {
    std::string name;
    Packing packing;
    std::string damage;  // batch mode's message for damaged data of this form
};

// Every form, with the message its damage gives.
const std::vector<PackingCase>& packing_cases();

// `text` in that form. Two members or frames split the text after its first 3000 bytes; BGZF
// is written as bgzip writes it, in blocks of at most 64 KiB with the end-of-file block.
std::string packed(std::string_view text, Packing packing);

// The text of a gzip (any number of members) or zstd file; throws on damage.
std::string unpacked_gzip(std::string_view data);
std::string unpacked_zstd(std::string_view data);
std::string unpacked_bzip2(std::string_view data);
std::string unpacked_xz(std::string_view data);

}  // namespace testing_support
