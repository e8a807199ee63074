#include "orvane/readers/square_reading.hpp"

#include "orvane/readers/reading_errors.hpp"
#include "orvane/readers/row_conversion.hpp"
#include "text/quoting.hpp"

#include <algorithm>
#include <charconv>
#include <limits>
#include <new>
#include <utility>

namespace orvane {

namespace {

// After the matrix can no longer be read, the remaining rows cannot match. Rather than
// redraw once per declared row (two billion for a lying header), draw each percentage those
// rows would have reached once, in order: for an order up to 100 that is every row's own.
void finish_progress(const io::Progress& progress, std::int64_t next_row, std::int64_t order) {
    std::int64_t row = next_row;
    while (row < order) {
        const std::int64_t shown = io::percentage(row + 1, order);
        progress.step(shown);
        // The first row whose percentage exceeds `shown`: (row + 1) * 100 / order >= shown + 1.
        const std::int64_t first_above = ((shown + 1) * order + 99) / 100 - 1;
        row = std::max(row + 1, first_above);
    }
}

// A failure shows in the reader's state, which the row loop looks at after every row.
void skip_distances(TokenReader& matrix, std::int32_t order) {
    static_cast<void>(matrix.skip_tokens(static_cast<std::uint64_t>(order)));
}

// Where and why the reading stopped at row `row` (0-based), whose name is `name` (empty when
// the row's name itself could not be read).
io::IoError describe_stop(TokenReader& matrix, std::int32_t row, std::int32_t order, const std::string& name) {
    if (name.empty()) {
        return token_stop(matrix, name,
                          "the file ends after " + std::to_string(row) + " of " + std::to_string(order) + " rows");
    }
    return token_stop(matrix, name,
                      "the file ends inside row " + text::quoted(name) + " (row " + std::to_string(row + 1) + " of " +
                          std::to_string(order) + ")");
}

}  // namespace

text::NameList read_id_tokens(TokenReader& list) {
    list.skip_byte_order_mark();
    text::NameList ids;
    for (std::string_view token = list.take_token(); !list.failed(); token = list.take_token()) {
        ids.add(token);
    }
    return ids;
}

std::int32_t read_matrix_order(TokenReader& matrix) {
    std::int32_t order = 0;
    // A failure leaves 0 and shows in the reader's state, which the caller looks at.
    static_cast<void>(matrix.read_int32(order));
    return order;
}

std::optional<io::IoError> read_whole_order(TokenReader& matrix, std::int32_t& order) {
    order = 0;
    const std::string token(matrix.take_token());
    if (matrix.failed()) {
        return describe_unreadable_order(matrix);
    }
    return order_in_token(token, matrix, order);
}

std::optional<io::IoError> order_in_token(const std::string& token, const TokenReader& matrix, std::int32_t& order) {
    order = 0;
    const char* const first = token.data() + (token.starts_with('+') ? 1 : 0);
    const char* const last = token.data() + token.size();
    std::int64_t value = 0;
    const auto [stop, failure] = std::from_chars(first, last, value);
    const io::ReadBuffer& input = matrix.input();
    if (failure == std::errc::result_out_of_range ||
        (failure == std::errc() && stop == last && value > std::numeric_limits<std::int32_t>::max())) {
        return io::IoError::bad_content(input.name(), "the order " + token + " is too large", matrix.line());
    }
    if (failure != std::errc() || stop != last || value < std::numeric_limits<std::int32_t>::min()) {
        return io::IoError::bad_content(
            input.name(), text::quoted(token) + " is no matrix order (a whole number of 32 bits)", matrix.line());
    }
    order = static_cast<std::int32_t>(value);
    return std::nullopt;
}

std::optional<io::IoError> take_next_order(TokenReader& matrix, std::uint32_t number, std::string& order_token) {
    const std::string_view next = matrix.take_token();
    order_token.assign(next);
    if (next.find_first_not_of("0123456789") == std::string_view::npos) {
        return std::nullopt;
    }
    return io::IoError::bad_content(matrix.input().name(),
                                    text::quoted(next) + " follows the last row of data set " + std::to_string(number) +
                                        ": no whole number there starts another",
                                    matrix.line());
}

io::IoError describe_unreadable_order(TokenReader& matrix) {
    const io::ReadBuffer& input = matrix.input();
    if (matrix.stop() == TokenReader::Stop::read_error) {
        return *input.error();
    }
    if (matrix.stop() == TokenReader::Stop::end_of_input) {
        return io::IoError::bad_content(input.name(), "no matrix order: the file is empty");
    }
    return io::IoError::bad_content(
        input.name(), text::quoted(matrix.text_at_cursor()) + " is no matrix order (a whole number of 32 bits)",
        matrix.line());
}

template <typename Distance>
std::optional<io::IoError> read_distance_matrix(TokenReader& matrix, IdTable& ids, std::int32_t order,
                                                DistanceRows<Distance>& rows, ValueTexts* texts, Strictness strictness,
                                                const io::Progress& progress, threads::Cores cores) {
    const auto glued = strictness == Strictness::whole_numbers ? TokenReader::Glued::refused : TokenReader::Glued::left;
    progress.begin();
    // A row name longer than every listed ID cannot match one, and need not be held whole.
    const std::size_t longest = ids.longest_name();
    std::string name;  // the current row's, kept for a message (the token's view dies with the next read)
    // On two cores the plain rows go faster; from the first row that is not plain (or from the
    // start, on one core) each row is read here, one after the other.
    for (std::int32_t row = convert_rows_alongside(matrix, ids, order, rows, texts, progress, cores); row < order;
         ++row) {
        const bool listable = matrix.take_name(longest, name);
        if (!matrix.failed()) {
            const std::int64_t slot = listable ? ids.slot_of_row(name) : -1;
            if (slot >= 0 && strictness == Strictness::whole_numbers &&
                ids.matrix_row(static_cast<std::uint32_t>(slot)) != IdTable::not_found) {
                // Batch mode: a second row of a listed ID is an error; the dialogue takes the
                // last, as it always has.
                return io::IoError::bad_content(
                    matrix.input().name(), twice_named(name, ids.matrix_row(static_cast<std::uint32_t>(slot)), row),
                    matrix.line());
            }
            if (slot >= 0) {
                const auto matched = static_cast<std::uint32_t>(slot);
                const KeepingTexts keeping(matrix, texts != nullptr ? &texts->row(matched) : nullptr,
                                           static_cast<std::size_t>(order));
                const bool complete = matrix.read_numbers(rows.row(matched), static_cast<std::size_t>(order), glued);
                ids.set_matrix_row(matched, complete ? row : IdTable::not_found);
            } else {
                skip_distances(matrix, order);
            }
        }
        progress.step(io::percentage(std::int64_t{row} + 1, order));
        if (matrix.failed()) {
            finish_progress(progress, std::int64_t{row} + 1, order);
            return describe_stop(matrix, row, order, name);
        }
    }
    return std::nullopt;
}

template std::optional<io::IoError> read_distance_matrix(TokenReader&, IdTable&, std::int32_t, DistanceRows<float>&,
                                                         ValueTexts*, Strictness, const io::Progress&, threads::Cores);
template std::optional<io::IoError> read_distance_matrix(TokenReader&, IdTable&, std::int32_t, DistanceRows<double>&,
                                                         ValueTexts*, Strictness, const io::Progress&, threads::Cores);

}  // namespace orvane
