#include "orvane/parse/number_parsing.hpp"

#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <string>
#include <string_view>

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

constexpr std::uint64_t powers_of_ten_u64[] = {1, 10, 100, 1000, 10000, 100000, 1000000, 10000000, 100000000};

std::uint64_t load_word(const char* at) {
    std::uint64_t word = 0;
    std::memcpy(&word, at, sizeof word);
    return word;
}

// How many of the word's first bytes (in memory order) are ASCII digits, 0 to 8.
int leading_digit_count(std::uint64_t word) {
    const std::uint64_t value = word - 0x3030303030303030ULL;
    // A byte is no digit when it was below '0' (borrow sets its top bit) or above '9'.
    const std::uint64_t not_digit = (value | (value + 0x7676767676767676ULL)) & 0x8080808080808080ULL;
    return not_digit == 0 ? 8 : std::countr_zero(not_digit) / 8;
}

// The value of the first `count` (1 to 8) digits of the word, read as one decimal number.
std::uint64_t eight_digit_value(std::uint64_t word, int count) {
    // Drop the bytes after the digits; the zero bytes shifted in become leading zeros.
    std::uint64_t value = (word - 0x3030303030303030ULL) << (8 * (8 - count));
    value = (value * 10) + (value >> 8);
    value = (((value & 0x000000FF000000FFULL) * (100 + (1000000ULL << 32))) +
             (((value >> 16) & 0x000000FF000000FFULL) * (1 + (10000ULL << 32)))) >>
            32;
    return value;
}

// The common short decimal ("0.123456") converted in place; null to leave anything else to the
// general path. Needs `room` readable bytes from `first`, as it reads digits a word at a time.
constexpr std::size_t room = 48;

// What a type holds exactly: integers below 2^digits, and powers of ten up to max_power.
template <typename T>
struct Exact;
template <>
struct Exact<float> {
    static constexpr std::uint64_t integer_limit = std::uint64_t{1} << 24;
    static constexpr float powers_of_ten[] = {1e0F, 1e1F, 1e2F, 1e3F, 1e4F, 1e5F, 1e6F, 1e7F, 1e8F, 1e9F, 1e10F};
};
template <>
struct Exact<double> {
    static constexpr std::uint64_t integer_limit = std::uint64_t{1} << 53;
    static constexpr double powers_of_ten[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                                               1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
};

template <typename T>
const char* parse_short_decimal(const char* first, T& value) {
    constexpr std::ptrdiff_t max_fraction_digits = std::size(Exact<T>::powers_of_ten) - 1;
    const char* at = first;
    const bool negative = *at == '-';
    if (*at == '-' || *at == '+') {
        ++at;
    }
    std::uint64_t mantissa = 0;  // may wrap on a long run of digits; such a run is refused below
    const char* const digits = at;
    for (; is_digit(*at) && at - digits < 20; ++at) {
        mantissa = mantissa * 10 + static_cast<std::uint64_t>(*at - '0');
    }
    const auto whole_digits = at - digits;
    std::ptrdiff_t fraction_digits = 0;
    if (*at == '.') {
        ++at;
        // Typical distances carry six fractional digits: take up to eight in one word. (The
        // word arithmetic reads bytes in memory order only on little-endian machines.)
        if constexpr (std::endian::native == std::endian::little) {
            const std::uint64_t word = load_word(at);
            const int count = leading_digit_count(word);
            if (count > 0 && whole_digits < 11) {
                mantissa = mantissa * powers_of_ten_u64[count] + eight_digit_value(word, count);
                at += count;
                fraction_digits = count;
            }
        }
        for (const char* const rest = at; is_digit(*at) && (at - rest) + fraction_digits + whole_digits < 20; ++at) {
            mantissa = mantissa * 10 + static_cast<std::uint64_t>(*at - '0');
        }
        fraction_digits = at - (digits + whole_digits + 1);
    }
    // An exponent, a second point, a run too long to have been read whole, or a value the type
    // cannot hold exactly all go the general way.
    if (whole_digits + fraction_digits == 0 || whole_digits + fraction_digits >= 19 || is_digit(*at) || *at == '.' ||
        *at == 'e' || *at == 'E' || mantissa >= Exact<T>::integer_limit || fraction_digits > max_fraction_digits) {
        return nullptr;
    }
    // Both operands are exact, and IEEE division rounds correctly: the result is the correctly
    // rounded value of the decimal, which is what strtof and strtod return.
    const T magnitude = static_cast<T>(mantissa) / Exact<T>::powers_of_ten[fraction_digits];
    value = negative ? -magnitude : magnitude;
    return at;
}

template <typename T>
T parse_out_of_range(const char* text, char** stop);
template <>
float parse_out_of_range<float>(const char* text, char** stop) {
    return std::strtof(text, stop);
}
template <>
double parse_out_of_range<double>(const char* text, char** stop) {
    return std::strtod(text, stop);
}

// Converts the characters that number extraction gathered the way the stream library does.
template <typename T>
bool convert_number_text(std::string_view text, T& value) {
    value = 0;
    // from_chars takes no '+'; the gathered text holds at most one sign, first.
    if (!text.empty() && text.front() == '+') {
        text.remove_prefix(1);
    }
    const char* const first = text.data();
    const char* const last = first + text.size();
    T parsed = 0;
    const auto [stop, error] = std::from_chars(first, last, parsed, std::chars_format::general);
    if (error == std::errc() && stop == last) {
        value = parsed;
        return true;
    }
    if (error != std::errc::result_out_of_range) {
        return false;
    }
    // Out of range: the stream accepts an underflow (rounded towards zero) but fails an
    // overflow. strtof and strtod tell the two apart; this path is cold.
    const std::string copy(text);
    char* copy_stop = nullptr;
    const T rounded = parse_out_of_range<T>(copy.c_str(), &copy_stop);
    if (copy_stop != copy.c_str() + copy.size() || std::isinf(rounded)) {
        return false;
    }
    value = rounded;
    return true;
}

// The same acceptance rules as libstdc++'s num_get: the longest run from `first` that can form
// a number (a sign, leading zeros folded to one, digits, one point, an exponent whose sign
// follows its 'e'), gathered into `text`; returns where the run ends.
const char* gather_number_text(const char* first, const char* last, NumberText& text) {
    const char* at = first;
    const auto peek = [&]() -> int { return at < last ? static_cast<unsigned char>(*at) : -1; };
    int c = peek();
    if (c == '+' || c == '-') {
        text.push(static_cast<char>(c));
        ++at;
        c = peek();
    }
    bool mantissa = false;
    while (c == '0') {
        if (!mantissa) {
            text.push('0');
            mantissa = true;
        }
        ++at;
        c = peek();
    }
    bool point = false;
    bool exponent = false;
    while (c != -1) {
        if (is_digit(c)) {
            text.push(static_cast<char>(c));
            mantissa = true;
        } else if (c == '.' && !point && !exponent) {
            text.push('.');
            point = true;
        } else if ((c == 'e' || c == 'E') && !exponent && mantissa) {
            text.push('e');
            exponent = true;
            ++at;
            c = peek();
            if (c != '+' && c != '-') {
                continue;
            }
            text.push(static_cast<char>(c));
        } else {
            break;
        }
        ++at;
        c = peek();
    }
    return at;
}

}  // namespace

template <typename T>
const char* parse_number(const char* first, const char* last, T& value) {
    value = 0;
    if (static_cast<std::size_t>(last - first) >= room) {
        if (const char* const stop = parse_short_decimal(first, value)) {
            return stop;
        }
    }
    // The whole run must convert: one that does not ("1e") fails.
    NumberText text;
    const char* const end = gather_number_text(first, last, text);
    return convert_number_text(text.view(), value) ? end : nullptr;
}

template const char* parse_number(const char* first, const char* last, float& value);
template const char* parse_number(const char* first, const char* last, double& value);

std::string_view shortest_text(double value, ShortestText& text) {
    const char* const end = std::to_chars(text.data(), text.data() + text.size(), value).ptr;
    return {text.data(), static_cast<std::size_t>(end - text.data())};
}

bool plainly_a_number(std::string_view text) {
    // Twenty characters and an exponent of two digits stay far inside a float's range.
    if (text.empty() || text.size() > 20) {
        return false;
    }
    std::size_t at = text[0] == '-' || text[0] == '+' ? 1 : 0;
    const auto digits = [&] {
        const std::size_t from = at;
        while (at < text.size() && text[at] >= '0' && text[at] <= '9') {
            ++at;
        }
        return at - from;
    };
    std::size_t mantissa = digits();
    if (at < text.size() && text[at] == '.') {
        ++at;
        mantissa += digits();
    }
    if (mantissa == 0) {
        return false;
    }
    if (at < text.size() && (text[at] == 'e' || text[at] == 'E')) {
        ++at;
        at += at < text.size() && (text[at] == '-' || text[at] == '+') ? 1 : 0;
        const std::size_t exponent = digits();
        if (exponent == 0 || exponent > 2) {
            return false;
        }
    }
    return at == text.size();
}

bool is_missing_value(std::string_view text) {
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    if (text.empty() || text == "NA") {
        return true;
    }
    return text.size() == 3 && lower(text[0]) == 'n' && lower(text[1]) == 'a' && lower(text[2]) == 'n';
}

}  // namespace orvane
