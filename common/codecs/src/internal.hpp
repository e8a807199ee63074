// Private to the codecs: what the formats share among their own files.
#pragma once

#include "codecs/codecs.hpp"

namespace codecs {

// The compressed bytes a stream decoder asks for at a time, and the room each encoder writes into.
inline constexpr std::size_t input_block = std::size_t{1} << 20;

// Each format's encoder, which encoder_for chooses among.
std::unique_ptr<Encoder> bgzf_encoder(int level, unsigned threads);
std::unique_ptr<Encoder> zstd_encoder(int level, unsigned threads);
std::unique_ptr<Encoder> bzip2_encoder(int level);
std::unique_ptr<Encoder> xz_encoder(int level, unsigned threads);

// A number stored in `bytes` bytes, least significant first, as gzip headers store them.
inline std::uint32_t little_endian(const std::uint8_t* at, int bytes) {
    std::uint32_t value = 0;
    for (int index = bytes - 1; index >= 0; --index) {
        value = (value << 8) | at[index];
    }
    return value;
}

}  // namespace codecs
