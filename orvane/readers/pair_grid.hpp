// The sub-matrix a list of pairs fills, as its lines give the pairs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace orvane {

// The pairs the lines give, each cell's value, text and whether it was given together, the
// texts back to back in one arena. A cell's mirror is looked up only at the end: while reading,
// each line touches one cell, and cells are laid out column by column (the second ID's), as pair
// lists come in runs of one second ID, so a run's cells lie side by side. It grows when
// excluding, as IDs come.
class PairGrid {
public:
    PairGrid(std::size_t side, bool keep_texts) : keep_texts_(keep_texts) { grow(side); }

    std::size_t side() const { return side_; }
    void grow(std::size_t wanted);

    // False when the pair was given before with another value, which `earlier` then holds.
    bool give(std::size_t row, std::size_t column, double value, std::string_view text, double& earlier);

    // Takes in the pairs a later part of the file gave; false where both parts give one pair two
    // values (the earlier part's text stays where they agree, as one reading keeps the first).
    bool follow_with(const PairGrid& later);

    // Row `row`, column `column` as given, or else as its mirror was; false for neither.
    bool known(std::size_t row, std::size_t column) const { return at(row, column).given || at(column, row).given; }
    double value(std::size_t row, std::size_t column) const { return resolved(row, column).value; }
    std::string_view text(std::size_t row, std::size_t column) const { return text_of(resolved(row, column)); }
    std::size_t given() const { return given_; }

private:
    struct Cell {
        double value = 0;
        std::uint64_t text_begin = 0;
        std::uint32_t text_size = 0;
        bool given = false;
    };

    Cell& at(std::size_t row, std::size_t column) { return cells_[column * side_ + row]; }
    const Cell& at(std::size_t row, std::size_t column) const { return cells_[column * side_ + row]; }
    const Cell& resolved(std::size_t row, std::size_t column) const {
        return at(row, column).given ? at(row, column) : at(column, row);
    }
    std::string_view text_of(const Cell& cell) const {
        return std::string_view(texts_).substr(cell.text_begin, cell.text_size);
    }

    std::uint64_t keep(std::string_view text);

    bool keep_texts_;
    std::size_t side_ = 0;
    std::size_t given_ = 0;
    std::vector<Cell> cells_;
    std::string texts_;
};

}  // namespace orvane
