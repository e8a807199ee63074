// Finding the fields of tab-separated lines in one pass: the hot loop of reading a pair list,
// whose lines are a few tens of bytes each.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <string_view>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace orvane {

// Gives each tab and line break of a text in turn. Sixty-four bytes are classified at a step, one
// bit per separator, so a line's fields cost a bit each rather than a search each that walks
// the same bytes again.
class SeparatorScan {
public:
    explicit SeparatorScan(std::string_view text) : text_(text) {}

    // The next separator's position, or the text's size once none is left; `line_break` tells
    // which it is (from the bits, as a branch on the byte itself would wait for its load).
    std::size_t next(bool& line_break) {
        while (bits_ == 0) {
            if (loaded_to_ >= text_.size()) {
                line_break = false;
                return text_.size();
            }
            load();
        }
        const auto bit = static_cast<unsigned>(std::countr_zero(bits_));
        bits_ &= bits_ - 1;
        line_break = ((breaks_ >> bit) & 1U) != 0;
        return base_ + bit;
    }

private:
    void load() {
        base_ = loaded_to_;
        const char* const data = text_.data() + base_;
        const std::size_t left = text_.size() - base_;
        bits_ = 0;
        breaks_ = 0;
#if defined(__SSE2__)
        if (left >= 64) {
            const __m128i tab = _mm_set1_epi8('\t');
            const __m128i line_break = _mm_set1_epi8('\n');
            for (int part = 0; part < 4; ++part) {
                const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + 16 * part));
                const __m128i breaks = _mm_cmpeq_epi8(bytes, line_break);
                const __m128i either = _mm_or_si128(_mm_cmpeq_epi8(bytes, tab), breaks);
                bits_ |= std::uint64_t{static_cast<std::uint16_t>(_mm_movemask_epi8(either))} << (16 * part);
                breaks_ |= std::uint64_t{static_cast<std::uint16_t>(_mm_movemask_epi8(breaks))} << (16 * part);
            }
            loaded_to_ = base_ + 64;
            return;
        }
#endif
        const std::size_t count = left < 64 ? left : 64;
        for (std::size_t i = 0; i < count; ++i) {
            bits_ |= std::uint64_t{data[i] == '\t' || data[i] == '\n'} << i;
            breaks_ |= std::uint64_t{data[i] == '\n'} << i;
        }
        loaded_to_ = base_ + count;
    }

    std::string_view text_;
    std::size_t base_ = 0;
    std::size_t loaded_to_ = 0;
    std::uint64_t bits_ = 0;    // the separators not yet given
    std::uint64_t breaks_ = 0;  // which of the block's separators are line breaks
};

}  // namespace orvane
