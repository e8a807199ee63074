#include "orvane/parse/token_skipping.hpp"

#include <bit>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace orvane {

namespace {

constexpr std::size_t block = 64;

// Bit i set when data[i] is not one of the classic locale's blanks (space, \t \n \v \f \r).
std::uint64_t nonblank_mask_portable(const char* data) {
    std::uint64_t mask = 0;
    for (std::size_t i = 0; i < block; ++i) {
        const auto c = static_cast<unsigned char>(data[i]);
        const bool blank = c == ' ' || static_cast<unsigned char>(c - '\t') <= 4;
        mask |= static_cast<std::uint64_t>(!blank) << i;
    }
    return mask;
}

#if defined(__x86_64__)
// SSE2 is part of x86-64 itself, so this needs no check.
std::uint64_t nonblank_mask_sse2(const char* data) {
    const __m128i space = _mm_set1_epi8(' ');
    const __m128i tab = _mm_set1_epi8('\t');
    const __m128i four = _mm_set1_epi8(4);
    std::uint64_t blank = 0;
    for (int part = 0; part < 4; ++part) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + 16 * part));
        const __m128i from_tab = _mm_sub_epi8(bytes, tab);  // \t..\r become 0..4
        const __m128i control = _mm_cmpeq_epi8(_mm_min_epu8(from_tab, four), from_tab);
        const __m128i is_blank = _mm_or_si128(_mm_cmpeq_epi8(bytes, space), control);
        blank |= static_cast<std::uint64_t>(static_cast<std::uint16_t>(_mm_movemask_epi8(is_blank))) << (16 * part);
    }
    return ~blank;
}

__attribute__((target("avx2,popcnt,bmi"))) inline std::uint32_t blank_mask_avx2(const char* data) {
    const __m256i bytes = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(data));
    const __m256i from_tab = _mm256_sub_epi8(bytes, _mm256_set1_epi8('\t'));
    const __m256i control = _mm256_cmpeq_epi8(_mm256_min_epu8(from_tab, _mm256_set1_epi8(4)), from_tab);
    const __m256i is_blank = _mm256_or_si256(_mm256_cmpeq_epi8(bytes, _mm256_set1_epi8(' ')), control);
    return static_cast<std::uint32_t>(_mm256_movemask_epi8(is_blank));
}

__attribute__((target("avx2,popcnt,bmi"))) inline std::uint64_t nonblank_mask_avx2(const char* data) {
    return ~(static_cast<std::uint64_t>(blank_mask_avx2(data)) | static_cast<std::uint64_t>(blank_mask_avx2(data + 32))
                                                                     << 32);
}
#endif

// Counts starts 64 bytes at a time: a start is a non-blank byte whose predecessor is blank.
template <typename NonblankMask>
[[gnu::always_inline]] inline SkipProgress skip_blocks(const char* data, std::size_t end, SkipProgress progress,
                                                       NonblankMask nonblank_mask) {
    std::uint64_t carry = progress.in_token ? 1 : 0;
    std::size_t pos = progress.pos;
    while (end - pos >= block) {
        const std::uint64_t nonblank = nonblank_mask(data + pos);
        std::uint64_t starts = nonblank & ~((nonblank << 1) | carry);
        const auto found = static_cast<std::uint64_t>(std::popcount(starts));
        if (found >= progress.remaining) {
            for (std::uint64_t skip = 1; skip < progress.remaining; ++skip) {
                starts &= starts - 1;
            }
            return {pos + static_cast<std::size_t>(std::countr_zero(starts)), 0, false};
        }
        progress.remaining -= found;
        carry = nonblank >> 63;
        pos += block;
    }
    return {pos, progress.remaining, carry != 0};
}

SkipProgress skip_portable(const char* data, std::size_t end, SkipProgress progress) {
    return skip_blocks(data, end, progress, nonblank_mask_portable);
}

#if defined(__x86_64__)
SkipProgress skip_sse2(const char* data, std::size_t end, SkipProgress progress) {
    return skip_blocks(data, end, progress, nonblank_mask_sse2);
}

// Compiled for AVX2 (with the popcount and trailing-zero instructions every AVX2 processor
// has), so the mask and the bit counting inline into one tight loop.
__attribute__((target("avx2,popcnt,bmi"))) SkipProgress skip_avx2(const char* data, std::size_t end,
                                                                  SkipProgress progress) {
    return skip_blocks(data, end, progress, nonblank_mask_avx2);
}
#endif

}  // namespace

bool scan_kernel_supported(ScanKernel kernel) {
    switch (kernel) {
    case ScanKernel::portable:
        return true;
#if defined(__x86_64__)
    case ScanKernel::sse2:
        return true;
    case ScanKernel::avx2:
        return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("popcnt") && __builtin_cpu_supports("bmi");
#endif
    default:
        return false;
    }
}

ScanKernel best_scan_kernel() {
    // Asked once: the processor does not change under a running program.
    static const ScanKernel best = scan_kernel_supported(ScanKernel::avx2)   ? ScanKernel::avx2
                                   : scan_kernel_supported(ScanKernel::sse2) ? ScanKernel::sse2
                                                                             : ScanKernel::portable;
    return best;
}

SkipProgress skip_token_starts(const char* data, std::size_t end, SkipProgress progress, ScanKernel kernel) {
    switch (kernel) {
#if defined(__x86_64__)
    case ScanKernel::avx2:
        return skip_avx2(data, end, progress);
    case ScanKernel::sse2:
        return skip_sse2(data, end, progress);
#endif
    default:
        return skip_portable(data, end, progress);
    }
}

}  // namespace orvane
