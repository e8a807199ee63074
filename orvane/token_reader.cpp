#include "token_reader.hpp"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>
#include <utility>

namespace orvane {

namespace {

// The characters one float extraction gathers. Short numbers stay in the inline array; an
// absurdly long one (thousands of digits) moves to the heap, off the hot path.
class NumberText {
public:
    void push(char c) {
        if (size_ < inline_.size()) {
            inline_[size_++] = c;
            return;
        }
        if (spill_.empty()) {
            spill_.assign(inline_.data(), size_);
        }
        spill_.push_back(c);
        ++size_;
    }
    std::string_view view() const {
        return spill_.empty() ? std::string_view(inline_.data(), size_) : std::string_view(spill_);
    }

private:
    std::array<char, 64> inline_{};
    std::size_t size_ = 0;
    std::string spill_;
};

constexpr bool is_digit(int c) { return c >= '0' && c <= '9'; }

}  // namespace

bool convert_float_text(std::string_view text, float& value) {
    value = 0.0F;
    // from_chars takes no '+'; the gathered text holds at most one sign, first.
    if (!text.empty() && text.front() == '+') {
        text.remove_prefix(1);
    }
    const char* const first = text.data();
    const char* const last = first + text.size();
    float parsed = 0.0F;
    const auto [stop, error] = std::from_chars(first, last, parsed, std::chars_format::general);
    if (error == std::errc() && stop == last) {
        value = parsed;
        return true;
    }
    if (error != std::errc::result_out_of_range) {
        return false;
    }
    // Out of range: the stream accepts an underflow (rounded towards zero) but fails an
    // overflow. strtof tells the two apart; this path is cold.
    const std::string copy(text);
    char* copy_stop = nullptr;
    const float rounded = std::strtof(copy.c_str(), &copy_stop);
    if (copy_stop != copy.c_str() + copy.size() || std::isinf(rounded)) {
        return false;
    }
    value = rounded;
    return true;
}

TokenReader::TokenReader(console::InputFile file, std::size_t buffer_size)
    : input_(std::move(file), buffer_size) {}

int TokenReader::peek() {
    if (input_.pos() == input_.end() && !input_.refill()) {
        return end_of_input;
    }
    return static_cast<unsigned char>(input_.data()[input_.pos()]);
}

bool TokenReader::skip_whitespace() {
    do {
        const char* const data = input_.data();
        std::size_t pos = input_.pos();
        const std::size_t end = input_.end();
        while (pos < end && is_blank(data[pos])) {
            ++pos;
        }
        input_.set_pos(pos);
        if (pos < end) {
            return true;
        }
    } while (input_.refill());
    return false;
}

bool TokenReader::skip_to_blank(std::size_t* keep) {
    do {
        const char* const data = input_.data();
        std::size_t pos = input_.pos();
        const std::size_t end = input_.end();
        while (pos < end && !is_blank(data[pos])) {
            ++pos;
        }
        input_.set_pos(pos);
        if (pos < end) {
            return true;
        }
    } while (keep != nullptr ? input_.refill(*keep) : input_.refill());
    return false;
}

std::string_view TokenReader::take_token() {
    if (failed_ || !skip_whitespace()) {
        failed_ = true;
        return {};
    }
    std::size_t start = input_.pos();
    skip_to_blank(&start);
    return {input_.data() + start, input_.pos() - start};
}

bool TokenReader::skip_token() {
    if (failed_ || !skip_whitespace()) {
        failed_ = true;
        return false;
    }
    skip_to_blank(nullptr);
    return true;
}

bool TokenReader::read_int32(std::int32_t& value) {
    value = 0;
    if (failed_ || !skip_whitespace()) {
        failed_ = true;
        return false;
    }
    int c = peek();
    const bool negative = c == '-';
    if (c == '-' || c == '+') {
        advance();
        c = peek();
    }
    // Saturates far above the 32-bit range, so any longer run of digits is still an overflow.
    constexpr std::int64_t ceiling = std::int64_t{1} << 40;
    std::int64_t magnitude = 0;
    bool any_digit = false;
    while (is_digit(c)) {
        any_digit = true;
        magnitude = std::min(ceiling, magnitude * 10 + (c - '0'));
        advance();
        c = peek();
    }
    const std::int64_t signed_value = negative ? -magnitude : magnitude;
    if (!any_digit || signed_value < std::numeric_limits<std::int32_t>::min() ||
        signed_value > std::numeric_limits<std::int32_t>::max()) {
        failed_ = true;
        return false;
    }
    value = static_cast<std::int32_t>(signed_value);
    return true;
}

bool TokenReader::read_float(float& value) {
    value = 0.0F;
    if (failed_ || !skip_whitespace()) {
        failed_ = true;
        return false;
    }
    // The same acceptance rules as libstdc++'s num_get: gather the longest run that can form
    // a number, then convert the whole run; a run that does not convert whole fails ("1e").
    NumberText text;
    int c = peek();
    if (c == '+' || c == '-') {
        text.push(static_cast<char>(c));
        advance();
        c = peek();
    }
    bool mantissa = false;
    while (c == '0') {
        if (!mantissa) {
            text.push('0');
            mantissa = true;
        }
        advance();
        c = peek();
    }
    bool point = false;
    bool exponent = false;
    while (c != end_of_input) {
        if (is_digit(c)) {
            text.push(static_cast<char>(c));
            mantissa = true;
        } else if (c == '.' && !point && !exponent) {
            text.push('.');
            point = true;
        } else if ((c == 'e' || c == 'E') && !exponent && mantissa) {
            text.push('e');
            exponent = true;
            advance();
            c = peek();
            if (c != '+' && c != '-') {
                continue;
            }
            text.push(static_cast<char>(c));
        } else {
            break;
        }
        advance();
        c = peek();
    }
    if (!convert_float_text(text.view(), value)) {
        failed_ = true;
        return false;
    }
    return true;
}

}  // namespace orvane
