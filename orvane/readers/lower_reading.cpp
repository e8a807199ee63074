#include "orvane/readers/lower_reading.hpp"

#include "orvane/readers/reading_errors.hpp"

#include <limits>
#include <string>

namespace orvane {

bool LowerTriangleCut::take(TokenReader& triangle, std::int32_t row, std::uint32_t slot) {
    // A listed row holds its distances to every earlier row, which earlier listed rows take as
    // theirs to this one.
    double* const own = rows_.row(slot);
    const KeepingTexts keeping(triangle, texts_ != nullptr ? &texts_->row(slot) : nullptr, values_in(row));
    if (!triangle.read_numbers(own, values_in(row), TokenReader::Glued::refused)) {
        return false;
    }
    if (!with_diagonal_) {
        own[row] = 0.0;
    }
    for (const Matched& earlier : matched_) {
        rows_.row(earlier.slot)[row] = own[earlier.row];
    }
    matched_.push_back({row, slot});
    return true;
}

std::string take_row_name(TokenReader& matrix) {
    std::string name;
    static_cast<void>(matrix.take_name(std::numeric_limits<std::size_t>::max() / 4, name));
    return name;
}

std::optional<io::IoError> read_lower_triangle(TokenReader& triangle, IdTable& ids, std::int32_t order,
                                               bool with_diagonal, DistanceRows<double>& rows, ValueTexts* texts,
                                               const io::Progress& progress) {
    progress.begin();
    LowerTriangleCut cut(with_diagonal, rows, texts);
    std::string name;
    const auto stop = [&](std::int32_t row) {
        return token_stop(triangle, name,
                          "the file ends in row " + std::to_string(row + 1) + " of " + std::to_string(order));
    };
    for (std::int32_t row = 0; row < order; ++row) {
        const bool listable = triangle.take_name(ids.longest_name(), name);
        const std::int64_t slot = listable && !triangle.failed() ? ids.slot_of_row(name) : -1;
        if (slot >= 0 && ids.matrix_row(static_cast<std::uint32_t>(slot)) != IdTable::not_found) {
            return io::IoError::bad_content(triangle.input().name(),
                                            twice_named(name, ids.matrix_row(static_cast<std::uint32_t>(slot)), row),
                                            triangle.line());
        }
        if (slot >= 0) {
            if (!cut.take(triangle, row, static_cast<std::uint32_t>(slot))) {
                return stop(row);
            }
            ids.set_matrix_row(static_cast<std::uint32_t>(slot), row);
        } else {
            // Any other row holds no distance between two listed IDs: the later of each pair
            // holds it. A failure shows in the reader's state, looked at below.
            static_cast<void>(triangle.skip_tokens(cut.values_in(row)));
        }
        if (triangle.failed()) {
            return stop(row);
        }
        progress.step(io::percentage(std::int64_t{row} + 1, order));
    }
    return std::nullopt;
}

}  // namespace orvane
