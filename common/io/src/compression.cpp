#include "io/compression.hpp"

#include "compression_codecs.hpp"

#include <array>
#include <utility>

namespace io {

codecs::Format codec_format(Compression compression) {
    switch (compression) {
    case Compression::bgzf:
        return codecs::Format::bgzf;
    case Compression::zstd:
        return codecs::Format::zstd;
    case Compression::bzip2:
        return codecs::Format::bzip2;
    case Compression::xz:
        return codecs::Format::xz;
    case Compression::none:
        break;
    }
    return codecs::Format::plain;
}

std::optional<Compression> compression_named(std::string_view name) {
    constexpr std::array<std::pair<std::string_view, Compression>, 6> names = {{{"none", Compression::none},
                                                                                {"gz", Compression::bgzf},
                                                                                {"bgzf", Compression::bgzf},
                                                                                {"zst", Compression::zstd},
                                                                                {"bz2", Compression::bzip2},
                                                                                {"xz", Compression::xz}}};
    for (const auto& [known, compression] : names) {
        if (name == known) {
            return compression;
        }
    }
    return std::nullopt;
}

Compression compression_for_name(std::string_view name) {
    if (name.ends_with(".gz") || name.ends_with(".bgz")) {
        return Compression::bgzf;
    }
    if (name.ends_with(".zst")) {
        return Compression::zstd;
    }
    if (name.ends_with(".bz2")) {
        return Compression::bzip2;
    }
    if (name.ends_with(".xz")) {
        return Compression::xz;
    }
    return Compression::none;
}

std::optional<std::string> unwritable_suffix(std::string_view name) {
    for (const std::string_view suffix : {".lz4", ".lzma", ".Z", ".zip", ".7z", ".br", ".lz", ".sz"}) {
        if (name.ends_with(suffix)) {
            return std::string(suffix);
        }
    }
    return std::nullopt;
}

LevelRange level_range(Compression compression) {
    const codecs::LevelRange range = codecs::level_range(codec_format(compression));
    return {range.least, range.most};
}

std::string_view compression_label(Compression compression) {
    return compression == Compression::bgzf ? "BGZF" : codecs::format_label(codec_format(compression));
}

}  // namespace io
