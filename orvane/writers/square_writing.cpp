#include "orvane/writers/square_writing.hpp"

#include "orvane/readers/reading_errors.hpp"

#include <atomic>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstring>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace orvane {

namespace {

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

bool scale_to_micro_units(float distance, std::uint64_t& micro_units) {
    return scale_to_micro_units<float, std::uint32_t, 23, 127>(distance, micro_units);
}
bool scale_to_micro_units(double distance, std::uint64_t& micro_units) {
    return scale_to_micro_units<double, std::uint64_t, 52, 1023>(distance, micro_units);
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
template <typename Distance>
char* write_distance_field(Distance distance, char* out) {
    std::uint64_t micro_units = 0;
    if (!scale_to_micro_units(distance, micro_units)) {
        // As the stream writes it (a float promoted to double): printf's %.6f.
        std::array<char, sizeof(DistanceField)> text{};
        const char* const stop = std::to_chars(text.data(), text.data() + text.size(), static_cast<double>(distance),
                                               std::chars_format::fixed, 6)
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

std::string_view format_distance(double distance, DistanceField& field) {
    char* const end = write_distance_field(distance, field.data());
    return {field.data(), static_cast<std::size_t>(end - field.data())};
}

namespace {

// One output row formatted: every field of the square row, and where the lower triangle's part
// of it ends.
struct FormattedRow {
    std::unique_ptr<char[]> text;
    std::size_t size = 0;
    std::size_t triangle_size = 0;
};

// Hands out the formatted rows in order. Formatting is most of the work of writing, and rows are
// independent: where a second core can be had, a helper thread formats the odd rows while this
// one formats the even ones and writes every row in order, so the bytes are the same either way.
// Rows live in a ring of buffers; a buffer is reused once the row before in it has been written.
class RowFormatting {
public:
    using Format = std::function<void(std::size_t row, FormattedRow& into)>;
    static constexpr std::size_t ring = 4;

    RowFormatting(std::size_t rows, std::size_t row_bytes, Format format, threads::Cores cores)
        : rows_(rows), format_(std::move(format)) {
        for (FormattedRow& buffer : buffers_) {
            buffer.text = std::make_unique_for_overwrite<char[]>(row_bytes);
        }
        // Where no thread can be had, every row is formatted here.
        // Forced to two cores (the differential tests), any matrix is.
        if ((rows_ >= minimum_for_helper || cores == threads::Cores::two) && threads::second_core(cores)) {
            helper_.emplace([this](const std::stop_token& stop) { format_odd_rows(stop); },
                            [this] {
                                written_.store(SIZE_MAX);  // releases a helper waiting for a buffer
                                written_.notify_all();
                            });
        }
    }
    RowFormatting(const RowFormatting&) = delete;
    RowFormatting& operator=(const RowFormatting&) = delete;

    // Row `row`, formatted; valid until done_with(row).
    const FormattedRow& get(std::size_t row) {
        FormattedRow& buffer = buffers_[row % ring];
        if (!helping() || row % 2 == 0) {
            format_(row, buffer);
        } else {
            for (std::size_t done = formatted_.load(); done < row + 1; done = formatted_.load()) {
                formatted_.wait(done);
            }
        }
        return buffer;
    }

    void done_with(std::size_t row) {
        if (helping()) {
            written_.store(row + 1);
            written_.notify_one();
        }
    }

private:
    // Square outputs of fewer rows (up to 65,536 fields) are written before a helper would pay:
    // a bootstrap file's small data sets, one after another, would start one each.
    static constexpr std::size_t minimum_for_helper = 256;

    bool helping() const { return helper_ && helper_->running(); }

    void format_odd_rows(const std::stop_token& stop) {
        for (std::size_t row = 1; row < rows_ && !stop.stop_requested(); row += 2) {
            // The buffer's previous row (row - ring) must have been written.
            const std::size_t needed = row >= ring ? row - ring + 1 : 0;
            for (std::size_t written = written_.load(); written < needed; written = written_.load()) {
                written_.wait(written);
            }
            if (stop.stop_requested()) {
                return;
            }
            format_(row, buffers_[row % ring]);
            formatted_.store(row + 1);
            formatted_.notify_one();
        }
    }

    std::size_t rows_;
    Format format_;
    std::array<FormattedRow, ring> buffers_;
    std::atomic<std::size_t> formatted_{0};  // the helper has formatted every odd row below this
    std::atomic<std::size_t> written_{0};    // every row below this has been written
    std::optional<threads::Helper> helper_;  // last: started once the rest is in place
};

// The found entries in list order, and the input column of each: the columns of every row.
struct FoundEntries {
    std::vector<std::size_t> positions;
    std::vector<std::int32_t> columns;
};

FoundEntries found_entries(const IdTable& ids) {
    FoundEntries found;
    for (std::size_t position = 0; position < ids.size(); ++position) {
        if (ids.found_at(position)) {
            found.positions.push_back(position);
            found.columns.push_back(ids.matrix_row(ids.ids().slot(position)));
        }
    }
    return found;
}

// Formats output row `index`: every field of the square row into one line, which both files
// then take whole, and where the lower triangle's part of it ends. The line is sized for the
// widest fields and filled in place, never cleared.
template <typename Distance>
void format_row(const IdTable& ids, const DistanceRows<Distance>& rows, const FoundEntries& found, std::size_t index,
                FormattedRow& into) {
    char* const start = into.text.get();
    char* at = start;
    const Distance* const row = rows.row(ids.ids().slot(found.positions[index]));
    for (std::size_t column = 0; column < found.columns.size(); ++column) {
        if (column == index) {
            into.triangle_size = static_cast<std::size_t>(at - start);
        }
        at = write_distance_field(row[found.columns[column]], at);
    }
    *at++ = '\n';
    into.size = static_cast<std::size_t>(at - start);
}

}  // namespace

template <typename Distance>
std::size_t write_output_files(io::OutputFile* matrix, io::OutputFile* sample, const IdTable& ids,
                               const DistanceRows<Distance>& rows, const io::Progress& progress, Layout layout,
                               threads::Cores cores) {
    progress.begin();
    const FoundEntries found = found_entries(ids);
    if (matrix != nullptr) {
        write_row_count(*matrix, found.columns.size());
        matrix->put('\n');
    }
    RowFormatting formatting(
        found.positions.size(), found.columns.size() * sizeof(DistanceField) + 1,
        [&](std::size_t index, FormattedRow& into) { format_row(ids, rows, found, index, into); }, cores);
    const auto list_count = static_cast<std::int64_t>(ids.size());
    for (std::size_t index = 0; index < found.positions.size(); ++index) {
        const FormattedRow& row = formatting.get(index);
        const std::string_view line(row.text.get(), row.size);
        if (matrix != nullptr) {
            write_row_name(*matrix, ids.written_name(found.positions[index]));
            if (layout == Layout::square) {
                matrix->write(line);
            } else {
                matrix->write(line.substr(0, row.triangle_size));
                matrix->put('\n');
            }
        }
        if (sample != nullptr) {
            sample->write(line);
        }
        formatting.done_with(index);
        progress.step(io::percentage(static_cast<std::int64_t>(found.positions[index]) + 1, list_count));
    }
    return found.positions.size();
}

template std::size_t write_output_files(io::OutputFile*, io::OutputFile*, const IdTable&, const DistanceRows<float>&,
                                        const io::Progress&, Layout, threads::Cores);
template std::size_t write_output_files(io::OutputFile*, io::OutputFile*, const IdTable&, const DistanceRows<double>&,
                                        const io::Progress&, Layout, threads::Cores);

std::optional<std::string> name_no_phylip_field_can_hold(const IdTable& ids) {
    for (std::size_t position = 0; position < ids.size(); ++position) {
        const std::string_view name = ids.written_name(position);
        if (ids.found_at(position) && (name.find_first_of("\t\r\n") != std::string_view::npos ||
                                       (name.size() > id_width && name.find(' ') != std::string_view::npos))) {
            return std::string(name);
        }
    }
    return std::nullopt;
}

}  // namespace orvane
