#include "orvane/writers/value_writing.hpp"

#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstring>

namespace orvane {

namespace {

// round(|distance| * 10^6), ties to even, exactly as printf rounds the value's exact binary
// value; false for magnitudes of 2^31 and more (or not finite), left to the general path.
// `Bits` holds the IEEE layout of `Float`: mantissa_bits stored, exponent bias.
template <typename Float, typename Bits, int mantissa_bits, int bias>
bool scale_to_micro_units(Float distance, std::uint64_t& micro_units) {
    __extension__ using Wide = unsigned __int128;  // 2^53 * 10^6 needs 73 bits
    constexpr int exponent_bits = static_cast<int>(sizeof(Bits) * 8) - 1 - mantissa_bits;
    constexpr Bits max_exponent = (Bits{1} << exponent_bits) - 1;
    const auto bits = std::bit_cast<Bits>(distance);
    const Bits biased_exponent = (bits >> mantissa_bits) & max_exponent;
    const Bits fraction = bits & ((Bits{1} << mantissa_bits) - 1);
    if (biased_exponent == max_exponent) {
        return false;  // infinite or not a number
    }
    // distance = mantissa * 2^exponent exactly.
    const Wide mantissa = biased_exponent == 0 ? fraction : (fraction | (Bits{1} << mantissa_bits));
    const int exponent = (biased_exponent == 0 ? 1 : static_cast<int>(biased_exponent)) - bias - mantissa_bits;
    constexpr std::uint64_t million = 1000000;
    constexpr Wide limit = Wide{std::uint64_t{1} << 31} * million;
    if (exponent >= 0) {
        if (exponent > 31) {
            return false;
        }
        const Wide scaled = (mantissa << exponent) * million;
        micro_units = static_cast<std::uint64_t>(scaled);
        return scaled < limit;
    }
    const auto shift = static_cast<unsigned>(-exponent);
    const Wide scaled = mantissa * million;
    if (shift >= 127) {
        micro_units = 0;  // far below a half, and never exactly one: 10^6 is no power of two
        return true;
    }
    const Wide quotient = scaled >> shift;
    const Wide remainder = scaled & ((Wide{1} << shift) - 1);
    const Wide half = Wide{1} << (shift - 1);
    const Wide rounded = quotient + ((remainder > half || (remainder == half && (quotient & 1) != 0)) ? 1 : 0);
    micro_units = static_cast<std::uint64_t>(rounded);
    return rounded < limit;
}

// A float's 24-bit mantissa times 10^6 fits in 44 bits: the same rounding in 64-bit arithmetic,
// a third of the 128-bit one's cost, for the common value below 2^31 and above 2^-40.
bool scale_to_micro_units(float distance, std::uint64_t& micro_units) {
    const auto bits = std::bit_cast<std::uint32_t>(distance);
    const std::uint32_t biased_exponent = (bits >> 23) & 0xFF;
    const int exponent = static_cast<int>(biased_exponent) - 127 - 23;
    if (biased_exponent == 0 || exponent >= 0 || exponent <= -64) {
        return scale_to_micro_units<float, std::uint32_t, 23, 127>(distance, micro_units);
    }
    const std::uint64_t scaled = std::uint64_t{(bits & 0x7FFFFF) | 0x800000} * 1000000;
    const auto shift = static_cast<unsigned>(-exponent);
    const std::uint64_t quotient = scaled >> shift;
    const std::uint64_t remainder = scaled & ((std::uint64_t{1} << shift) - 1);
    const std::uint64_t half = std::uint64_t{1} << (shift - 1);
    micro_units = quotient + ((remainder > half || (remainder == half && (quotient & 1) != 0)) ? 1 : 0);
    return micro_units < (std::uint64_t{1} << 31) * 1000000;
}
bool scale_to_micro_units(double distance, std::uint64_t& micro_units) {
    return scale_to_micro_units<double, std::uint64_t, 52, 1023>(distance, micro_units);
}

// "000" to "999", four bytes apart: six decimals are two lookups, not three divisions in a row.
struct DigitTriples {
    std::array<char, 4000> text{};
    constexpr DigitTriples() {
        for (int value = 0; value < 1000; ++value) {
            text[static_cast<std::size_t>(4 * value)] = static_cast<char>('0' + value / 100);
            text[static_cast<std::size_t>(4 * value + 1)] = static_cast<char>('0' + value / 10 % 10);
            text[static_cast<std::size_t>(4 * value + 2)] = static_cast<char>('0' + value % 10);
        }
    }
};
constexpr DigitTriples digit_triples;

int decimal_digits(std::uint64_t value) {
    int digits = 1;
    for (; value >= 10; value /= 10) {
        ++digits;
    }
    return digits;
}

// Every byte is stored once, forwards, and never read back: building the text elsewhere and
// copying it stalls on store forwarding. Six decimals, the usual case, go the integer way.
}  // namespace

template <typename Distance>
char* write_distance_field(Distance distance, std::uint32_t decimals, char* out) {
    std::uint64_t micro_units = 0;
    if (decimals != 6 || !scale_to_micro_units(distance, micro_units)) {
        // As the stream writes it (a float promoted to double): printf's %.6f.
        std::array<char, sizeof(DistanceField)> text{};
        const char* const stop = std::to_chars(text.data(), text.data() + text.size(), static_cast<double>(distance),
                                               std::chars_format::fixed, static_cast<int>(decimals))
                                     .ptr;
        const auto length = static_cast<std::size_t>(stop - text.data());
        const std::size_t pad = length < distance_width ? distance_width - length : 1;
        std::memset(out, ' ', pad);
        std::memcpy(out + pad, text.data(), length);
        return out + pad + length;
    }
    const std::uint64_t whole = micro_units / 1000000;
    const bool negative = std::signbit(distance);  // printf keeps the sign of -0 and of tiny negatives
    const std::size_t length = (negative ? 1 : 0) + static_cast<std::size_t>(decimal_digits(whole)) + 7;
    const std::size_t pad = length < distance_width ? distance_width - length : 1;
    std::memset(out, ' ', distance_width);  // a fixed-size store; digits overwrite what they need
    char* const end = out + pad + length;
    char* at = end;
    const auto fraction = static_cast<std::uint32_t>(micro_units % 1000000);
    const std::uint32_t thousands = fraction / 1000;
    at -= 3;
    std::memcpy(at, digit_triples.text.data() + 4 * (fraction - thousands * 1000), 3);
    at -= 3;
    std::memcpy(at, digit_triples.text.data() + 4 * thousands, 3);
    *--at = '.';
    std::uint64_t rest = whole;
    do {
        *--at = static_cast<char>('0' + rest % 10);
        rest /= 10;
    } while (rest != 0);
    if (negative) {
        *--at = '-';
    }
    return end;
}

template char* write_distance_field(float, std::uint32_t, char*);
template char* write_distance_field(double, std::uint32_t, char*);

char* write_text_field(std::string_view text, char* out) {
    const std::size_t pad = text_field_size(text) - text.size();
    std::memset(out, ' ', pad);
    std::memcpy(out + pad, text.data(), text.size());
    return out + pad + text.size();
}

std::string_view format_distance(float distance, DistanceField& field) {
    char* const end = write_distance_field(distance, 6, field.data());
    return {field.data(), static_cast<std::size_t>(end - field.data())};
}

std::string_view format_distance(double distance, DistanceField& field, std::uint32_t decimals) {
    char* const end = write_distance_field(distance, decimals, field.data());
    return {field.data(), static_cast<std::size_t>(end - field.data())};
}

std::string_view Cells::text(std::uint32_t row_slot, std::uint32_t column_slot, DistanceField& room) const {
    const std::int32_t row = ids_.matrix_row(row_slot);
    const std::int32_t column = ids_.matrix_row(column_slot);
    if (format_.texts != nullptr) {
        return format_.texts->cell(row_slot, row, column_slot, column);
    }
    const double value = rows_.row(row_slot)[column];
    const char* const end = std::to_chars(room.data(), room.data() + room.size(), value, std::chars_format::fixed,
                                          static_cast<int>(format_.decimals))
                                .ptr;
    return {room.data(), static_cast<std::size_t>(end - room.data())};
}

}  // namespace orvane
