#include "internal.hpp"

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
    return Format::plain;
}

Format format_for_name(std::string_view name) {
    if (name.ends_with(".gz")) {
        return Format::gzip;
    }
    if (name.ends_with(".zst")) {
        return Format::zstd;
    }
    return Format::plain;
}

std::string_view format_label(Format format) {
    switch (format) {
    case Format::gzip:
    case Format::bgzf:
        return "gzip";
    case Format::zstd:
        return "zstd";
    case Format::plain:
        break;
    }
    return "plain";
}

std::unique_ptr<Encoder> encoder_for(Format format) {
    switch (format) {
    case Format::gzip:
    case Format::bgzf:
        return gzip_encoder();
    case Format::zstd:
        return zstd_encoder();
    case Format::plain:
        break;
    }
    return nullptr;
}

}  // namespace codecs
