// How an output is compressed: told by its name, or for standard output by --compress, with the
// level and threads the command line gives.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace io {

// gzip outputs are written as BGZF: valid gzip for every reader, and indexable.
enum class Compression { none, bgzf, zstd, bzip2, xz };

struct CompressionChoice {
    Compression compression = Compression::none;
    std::optional<int> level;  // within level_range(compression); none: the codec's usual
    unsigned threads = 1;
};

// --compress's names: none, gz, bgzf, zst, bz2, xz.
std::optional<Compression> compression_named(std::string_view name);
// What a name's suffix asks for: .gz and .bgz BGZF, .zst zstd, .bz2 bzip2, .xz xz; else none.
Compression compression_for_name(std::string_view name);
// A suffix naming a compression these programs cannot write (.lz4, .lzma, .Z, .zip, .7z, .br),
// which would otherwise be plain text under a compressed name.
std::optional<std::string> unwritable_suffix(std::string_view name);

struct LevelRange {
    int least;
    int most;
};
LevelRange level_range(Compression compression);
// The name of the codec, for messages: "BGZF", "zstd", "bzip2", "xz".
std::string_view compression_label(Compression compression);

}  // namespace io
