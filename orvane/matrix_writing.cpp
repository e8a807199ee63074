#include "matrix_writing.hpp"

#include <bit>
#include <charconv>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

namespace orvane {

namespace {

constexpr std::string_view writing_label = "Writing OUTPUT files. Completed... ";
constexpr std::size_t distance_width = 10;
constexpr std::size_t id_width = 10;
constexpr std::size_t count_width = 5;

// Right-aligns `count` in a field of 5; a longer number is written whole.
void write_row_count(io::OutputFile& matrix, std::size_t count) {
    std::array<char, 32> digits{};
    const auto [stop, error] = std::to_chars(digits.data(), digits.data() + digits.size(), count);
    const std::size_t length = static_cast<std::size_t>(stop - digits.data());
    for (std::size_t pad = length; pad < count_width; ++pad) {
        matrix.put(' ');
    }
    matrix.write({digits.data(), length});
}

// Left-aligns the ID in a field of 10; a longer ID is written whole.
void write_row_name(io::OutputFile& matrix, std::string_view id) {
    matrix.write(id);
    for (std::size_t pad = id.size(); pad < id_width; ++pad) {
        matrix.put(' ');
    }
}

// round(|distance| * 10^6), ties to even, exactly as printf rounds the float's exact binary
// value; false for magnitudes of 2^31 and more (or not finite), left to the general path.
bool scale_to_micro_units(float distance, std::uint64_t& micro_units) {
    const auto bits = std::bit_cast<std::uint32_t>(distance);
    const std::uint32_t biased_exponent = (bits >> 23) & 0xFF;
    const std::uint32_t fraction = bits & 0x7FFFFF;
    // distance = mantissa * 2^exponent exactly, with mantissa below 2^24.
    const std::uint64_t mantissa = biased_exponent == 0 ? fraction : (fraction | 0x800000);
    const int exponent = biased_exponent == 0 ? -149 : static_cast<int>(biased_exponent) - 150;
    constexpr std::uint64_t million = 1000000;
    if (exponent >= 0) {
        if (biased_exponent == 0xFF || exponent > 7) {
            return false;
        }
        micro_units = (mantissa << exponent) * million;  // below 2^31 * 10^6
        return true;
    }
    const auto shift = static_cast<unsigned>(-exponent);
    const std::uint64_t scaled = mantissa * million;  // below 2^44
    if (shift >= 64) {
        micro_units = 0;  // far below a half, and never exactly one: 10^6 is no power of two
        return true;
    }
    const std::uint64_t quotient = scaled >> shift;
    const std::uint64_t remainder = scaled & ((std::uint64_t{1} << shift) - 1);
    const std::uint64_t half = std::uint64_t{1} << (shift - 1);
    micro_units = quotient + ((remainder > half || (remainder == half && (quotient & 1) != 0)) ? 1 : 0);
    return true;
}

constexpr char digit_pairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

int decimal_digits(std::uint64_t value) {
    int digits = 1;
    for (; value >= 10; value /= 10) {
        ++digits;
    }
    return digits;
}

// Writes the field at `out` and returns its end. Every byte is stored once, forwards, and never
// read back: building the text elsewhere and copying it stalls on store forwarding.
char* write_distance_field(float distance, char* out) {
    std::uint64_t micro_units = 0;
    if (!scale_to_micro_units(distance, micro_units)) {
        // As the stream writes a float: promoted to double, printf's %.6f. Up to 47 characters.
        std::array<char, 64> text{};
        const char* const stop =
            std::to_chars(text.data(), text.data() + text.size(), static_cast<double>(distance),
                          std::chars_format::fixed, 6).ptr;
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
    std::uint64_t fraction = micro_units % 1000000;
    for (int pair = 0; pair < 3; ++pair) {
        at -= 2;
        std::memcpy(at, digit_pairs + 2 * (fraction % 100), 2);
        fraction /= 100;
    }
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

}  // namespace

std::string_view format_distance(float distance, DistanceField& field) {
    char* const end = write_distance_field(distance, field.data());
    return {field.data(), static_cast<std::size_t>(end - field.data())};
}

void write_output_files(io::OutputFile& matrix, io::OutputFile& sample, const IdTable& ids,
                        const DistanceRows& rows, console::Meter& meter) {
    meter.begin(writing_label);

    // The input columns of the found entries, in list order: the columns of every output row.
    std::vector<std::int32_t> columns;
    columns.reserve(ids.size());
    for (std::size_t position = 0; position < ids.size(); ++position) {
        if (ids.found_at(position)) {
            columns.push_back(ids.matrix_row(ids.ids().slot(position)));
        }
    }

    write_row_count(matrix, columns.size());
    matrix.put('\n');

    const auto list_count = static_cast<std::int64_t>(ids.size());
    // Each row's fields are formatted once into one line, which both files then take whole.
    std::string fields;
    for (std::size_t position = 0; position < ids.size(); ++position) {
        if (!ids.found_at(position)) {
            continue;
        }
        // Every field fits in a DistanceField, so the line is sized once and filled in place.
        fields.resize(columns.size() * sizeof(DistanceField) + 1);
        char* at = fields.data();
        const float* const row = rows.row(ids.ids().slot(position));
        for (const std::int32_t column : columns) {
            at = write_distance_field(row[column], at);
        }
        *at++ = '\n';
        fields.resize(static_cast<std::size_t>(at - fields.data()));
        write_row_name(matrix, ids.ids().name(position));
        matrix.write(fields);
        sample.write(fields);
        meter.step(writing_label,
                              console::percentage(static_cast<std::int64_t>(position) + 1, list_count));
    }
}

}  // namespace orvane
