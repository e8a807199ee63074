#include "text/printable.hpp"

#include <bit>
#include <cstdint>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace text {

namespace {

bool unprintable(char byte) { return byte < '!' || byte > '~'; }

#if defined(__SSE2__)
// One bit per byte of the 16 at `at` that lies outside '!' to '~'.
std::uint32_t unprintable_bits(const char* at) {
    // Shifted so that '!' is 0: a byte is in the range where, unsigned, it is at most '~' - '!'.
    const __m128i shifted = _mm_sub_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(at)), _mm_set1_epi8('!'));
    const __m128i inside = _mm_cmpeq_epi8(_mm_min_epu8(shifted, _mm_set1_epi8('~' - '!')), shifted);
    return ~static_cast<std::uint32_t>(_mm_movemask_epi8(inside)) & 0xffffu;
}
#endif

}  // namespace

std::size_t first_unprintable(std::string_view bytes) {
    std::size_t at = 0;
#if defined(__SSE2__)
    for (; at + 16 <= bytes.size(); at += 16) {
        if (const std::uint32_t bits = unprintable_bits(bytes.data() + at); bits != 0) {
            return at + static_cast<std::size_t>(std::countr_zero(bits));
        }
    }
#endif
    for (; at < bytes.size(); ++at) {
        if (unprintable(bytes[at])) {
            return at;
        }
    }
    return std::string_view::npos;
}

bool only_line_ends_unprintable(std::string_view bytes) {
    std::size_t at = 0;
    bool return_pending = false;  // the byte before `at` is a carriage return
#if defined(__SSE2__)
    for (; at + 16 <= bytes.size(); at += 16) {
        const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes.data() + at));
        const auto breaks = static_cast<std::uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(chunk, _mm_set1_epi8('\n'))));
        const auto returns = static_cast<std::uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(chunk, _mm_set1_epi8('\r'))));
        // Each return must have a break right after it: within the chunk, or the next chunk's first byte.
        const std::uint32_t unmatched = returns & ~(breaks >> 1) & 0x7fffu;
        if ((unprintable_bits(bytes.data() + at) & ~(breaks | returns)) != 0 || unmatched != 0 ||
            (return_pending && (breaks & 1u) == 0)) {
            return false;
        }
        return_pending = (returns & 0x8000u) != 0;
    }
#endif
    for (; at < bytes.size(); ++at) {
        const char c = bytes[at];
        if (return_pending && c != '\n') {
            return false;
        }
        return_pending = c == '\r';
        if (unprintable(c) && c != '\n' && c != '\r') {
            return false;
        }
    }
    return !return_pending;
}

}  // namespace text
