#include "text/line_breaks.hpp"

#include <algorithm>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace text {

std::uint64_t count_line_breaks(std::string_view bytes) {
    const char* at = bytes.data();
    const char* const end = at + bytes.size();
    std::uint64_t count = 0;
#if defined(__SSE2__)
    // A matching byte compares as -1; subtracting it adds one to its lane. A lane holds up to 255
    // before the lanes are summed (psadbw) into the total.
    const __m128i line_break = _mm_set1_epi8('\n');
    while (end - at >= 16) {
        const std::size_t blocks = std::min<std::size_t>(static_cast<std::size_t>(end - at) / 16, 255);
        __m128i lanes = _mm_setzero_si128();
        for (std::size_t block = 0; block < blocks; ++block, at += 16) {
            const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
            lanes = _mm_sub_epi8(lanes, _mm_cmpeq_epi8(chunk, line_break));
        }
        const __m128i sums = _mm_sad_epu8(lanes, _mm_setzero_si128());
        count += static_cast<std::uint64_t>(_mm_cvtsi128_si64(sums)) +
                 static_cast<std::uint64_t>(_mm_cvtsi128_si64(_mm_unpackhi_epi64(sums, sums)));
    }
#endif
    return count + static_cast<std::uint64_t>(std::count(at, end, '\n'));
}

}  // namespace text
