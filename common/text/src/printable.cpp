#include "text/printable.hpp"

#include <algorithm>
#include <bit>
#include <cstdint>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace text {

namespace {

bool unprintable(char byte) { return byte < '!' || byte > '~'; }

#if defined(__SSE2__)
// All ones in each lane of the 16 bytes at `at` that lies inside '!' to '~'.
__m128i printable_lanes(const char* at) {
    // Shifted so that '!' is 0: a byte is in the range where, unsigned, it is at most '~' - '!'.
    const __m128i shifted = _mm_sub_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(at)), _mm_set1_epi8('!'));
    return _mm_cmpeq_epi8(_mm_min_epu8(shifted, _mm_set1_epi8('~' - '!')), shifted);
}

// One bit per byte of the 16 at `at` that lies outside '!' to '~'.
std::uint32_t unprintable_bits(const char* at) {
    return ~static_cast<std::uint32_t>(_mm_movemask_epi8(printable_lanes(at))) & 0xffffu;
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

std::uint64_t count_unprintable(std::string_view bytes) {
    std::size_t at = 0;
    std::uint64_t count = 0;
#if defined(__SSE2__)
    // An unprintable byte compares as -1 (all ones) in its lane; subtracting adds one. A lane holds
    // up to 255 before the lanes are summed (psadbw) into the total.
    while (at + 16 <= bytes.size()) {
        const std::size_t blocks = std::min<std::size_t>((bytes.size() - at) / 16, 255);
        __m128i lanes = _mm_setzero_si128();
        for (std::size_t block = 0; block < blocks; ++block, at += 16) {
            lanes = _mm_sub_epi8(lanes, _mm_xor_si128(printable_lanes(bytes.data() + at), _mm_set1_epi8(-1)));
        }
        const __m128i sums = _mm_sad_epu8(lanes, _mm_setzero_si128());
        count += static_cast<std::uint64_t>(_mm_cvtsi128_si64(sums)) +
                 static_cast<std::uint64_t>(_mm_cvtsi128_si64(_mm_unpackhi_epi64(sums, sums)));
    }
#endif
    for (; at < bytes.size(); ++at) {
        count += unprintable(bytes[at]) ? 1 : 0;
    }
    return count;
}

}  // namespace text
