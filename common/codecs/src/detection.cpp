#include "internal.hpp"

#include <algorithm>

namespace codecs {

std::size_t bgzf_member_size(std::string_view bytes) {
    constexpr std::size_t header_size = 18;
    constexpr std::size_t trailer_size = 8;
    const auto* const at = reinterpret_cast<const std::uint8_t*>(bytes.data());
    // An 18-byte gzip header that flags only its extra field, whose one subfield "BC" gives the
    // member's size.
    if (bytes.size() < header_size || at[0] != 0x1f || at[1] != 0x8b || at[2] != 8 || at[3] != 4 ||
        little_endian(at + 10, 2) != 6 || at[12] != 'B' || at[13] != 'C' || little_endian(at + 14, 2) != 2) {
        return 0;
    }
    const std::size_t size = std::size_t{little_endian(at + 16, 2)} + 1;
    return size >= header_size + trailer_size ? size : 0;  // a member too small for its own frame is none
}

Format format_of(std::string_view first_bytes, bool from_the_start) {
    if (first_bytes.starts_with("\x1f\x8b")) {
        return from_the_start && bgzf_member_size(first_bytes) != 0 ? Format::bgzf : Format::gzip;
    }
    if (first_bytes.starts_with("\x28\xb5\x2f\xfd")) {
        return Format::zstd;
    }
    // "BZh", the block size, then a block's magic (pi) or, for an empty stream, the end's (sqrt pi).
    if (first_bytes.size() >= 10 && first_bytes.starts_with("BZh") && first_bytes[3] >= '1' && first_bytes[3] <= '9' &&
        (first_bytes.substr(4, 6) == "\x31\x41\x59\x26\x53\x59" ||
         first_bytes.substr(4, 6) == "\x17\x72\x45\x38\x50\x90")) {
        return Format::bzip2;
    }
    if (first_bytes.starts_with(std::string_view("\xfd"
                                                 "7zXZ\0",
                                                 6))) {
        return Format::xz;
    }
    return Format::plain;
}

LevelRange level_range(Format format) {
    switch (format) {
    case Format::gzip:
    case Format::bgzf:
        return {1, 12};  // libdeflate's
    case Format::zstd:
        return {1, 19};
    case Format::bzip2:
        return {1, 9};
    case Format::xz:
        return {0, 9};
    case Format::plain:
        break;
    }
    return {0, 0};
}

std::string_view format_label(Format format) {
    switch (format) {
    case Format::gzip:
    case Format::bgzf:
        return "gzip";
    case Format::zstd:
        return "zstd";
    case Format::bzip2:
        return "bzip2";
    case Format::xz:
        return "xz";
    case Format::plain:
        break;
    }
    return "plain";
}

std::unique_ptr<Encoder> encoder_for(const Settings& settings) {
    const unsigned threads = std::max(1U, settings.threads);
    switch (settings.format) {
    case Format::gzip:
    case Format::bgzf:
        return bgzf_encoder(settings.level.value_or(1), threads);
    case Format::zstd:
        return zstd_encoder(settings.level.value_or(3), threads);
    case Format::bzip2:
        return bzip2_encoder(settings.level.value_or(9));
    case Format::xz:
        return xz_encoder(settings.level.value_or(6), threads);
    case Format::plain:
        break;
    }
    return nullptr;
}

}  // namespace codecs
