#include "orvane/readers/pair_grid.hpp"

#include <algorithm>

namespace orvane {

void PairGrid::grow(std::size_t wanted) {
    if (wanted <= side_) {
        return;
    }
    const std::size_t side = std::max(wanted, 2 * side_);
    std::vector<Cell> cells(side * side);
    for (std::size_t column = 0; column < side_; ++column) {
        std::copy_n(cells_.begin() + static_cast<std::ptrdiff_t>(column * side_), side_,
                    cells.begin() + static_cast<std::ptrdiff_t>(column * side));
    }
    side_ = side;
    cells_ = std::move(cells);
}

bool PairGrid::give(std::size_t row, std::size_t column, double value, std::string_view text, double& earlier) {
    Cell& cell = at(row, column);
    if (cell.given) {
        earlier = cell.value;
        return cell.value == value;
    }
    cell = {value, keep(text), static_cast<std::uint32_t>(text.size()), true};
    ++given_;
    return true;
}

bool PairGrid::follow_with(const PairGrid& later) {
    grow(later.side_);
    for (std::size_t column = 0; column < later.side_; ++column) {
        for (std::size_t row = 0; row < later.side_; ++row) {
            const Cell& theirs = later.cells_[column * later.side_ + row];
            Cell& ours = at(row, column);
            if (!theirs.given || ours.given) {
                if (theirs.given && theirs.value != ours.value) {
                    return false;
                }
                continue;
            }
            ours = theirs;
            ours.text_begin = keep(later.text_of(theirs));
            ++given_;
        }
    }
    return true;
}

std::uint64_t PairGrid::keep(std::string_view text) {
    if (!keep_texts_) {
        return 0;
    }
    const std::uint64_t begin = texts_.size();
    texts_.append(text);
    return begin;
}

}  // namespace orvane
