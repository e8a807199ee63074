#include "text/seeded_hash.hpp"

#include <cstring>
#include <random>

namespace text {

namespace {

constexpr std::uint64_t multiplier = 0x9E3779B97F4A7C15ULL;

std::uint64_t mix(std::uint64_t state, std::uint64_t word) {
    state = (state ^ word) * multiplier;
    return state ^ (state >> 29);
}

}  // namespace

std::uint64_t hash_text(std::string_view text, std::uint64_t seed) {
    std::uint64_t state = mix(seed, text.size() * multiplier);
    const char* at = text.data();
    std::size_t left = text.size();
    for (; left >= 8; at += 8, left -= 8) {
        std::uint64_t word = 0;
        std::memcpy(&word, at, 8);
        state = mix(state, word);
    }
    if (left > 0) {
        std::uint64_t word = 0;
        std::memcpy(&word, at, left);
        state = mix(state, word);
    }
    // One more round with the seed, so that the seed reaches every bit of the result.
    state = mix(state, seed);
    return state ^ (state >> 32);
}

std::uint64_t random_seed() {
    std::random_device device;
    return (std::uint64_t{device()} << 32) ^ device();
}

}  // namespace text
