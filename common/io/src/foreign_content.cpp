#include "io/foreign_content.hpp"

#include <array>
#include <utility>

namespace io {

std::optional<std::string> foreign_content(std::string_view start) {
    using namespace std::string_view_literals;
    // Each kind's magic at the start: BAM and BCF as htslib writes them inside BGZF, the rest raw.
    constexpr std::array<std::pair<std::string_view, std::string_view>, 10> magics = {{
        {"BAM\x01"sv, "a BAM file (samtools fasta or fastq gives its reads)"},
        {"CRAM"sv, "a CRAM file (samtools fasta or fastq gives its reads)"},
        {"BCF\x02"sv, "a BCF file"},
        {"PK\x03\x04"sv, "a zip archive"},
        {"7z\xbc\xaf\x27\x1c"sv, "a 7z archive"},
        {"\x04\x22\x4d\x18"sv, "lz4 data"},
        {"LZIP"sv, "lzip data"},
        {"\x1f\x9d"sv, "compress (.Z) data"},
        {"\x89HDF\r\n\x1a\n"sv, "an HDF5 file"},
        {"%PDF"sv, "a PDF document"},
    }};
    for (const auto& [magic, kind] : magics) {
        if (start.starts_with(magic)) {
            return std::string(kind);
        }
    }
    // POSIX and GNU tar: "ustar" after the first member's name, mode and sizes.
    constexpr std::size_t tar_magic_at = 257;
    if (start.size() >= tar_magic_at + 5 && start.substr(tar_magic_at, 5) == "ustar") {
        return std::string("a tar archive");
    }
    return std::nullopt;
}

}  // namespace io
