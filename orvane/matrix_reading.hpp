// Reading the ID list and the input distance matrix.
#pragma once

#include "dialogue.hpp"
#include "name_list.hpp"
#include "token_reader.hpp"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace orvane {

// The listed IDs and, per distinct ID, the matrix row that supplied it.
class IdTable {
public:
    static constexpr std::int32_t not_found = -1;

    // Takes the list as read; may throw std::bad_alloc.
    explicit IdTable(lists::NameList ids);

    const lists::NameList& ids() const { return ids_; }
    std::size_t size() const { return ids_.size(); }

    // The 0-based matrix row of a slot, or not_found.
    std::int32_t matrix_row(std::uint32_t slot) const { return matrix_row_[slot]; }
    void set_matrix_row(std::uint32_t slot, std::int32_t row) { matrix_row_[slot] = row; }
    bool found_at(std::size_t position) const { return matrix_row_[ids_.slot(position)] != not_found; }

private:
    lists::NameList ids_;
    std::vector<std::int32_t> matrix_row_;
};

// One distance row per slot, in the input matrix's column order, as float (the dialogue, which
// rounds through single precision as it always has) or double (batch mode, where the six
// decimals written are the six read). Deliberately left uninitialised: a huge declared order
// must cost nothing until rows are actually read.
template <typename Distance>
class DistanceRows {
public:
    DistanceRows(std::size_t slot_count, std::size_t order);
    Distance* row(std::uint32_t slot) { return values_.get() + slot * order_; }
    const Distance* row(std::uint32_t slot) const { return values_.get() + slot * order_; }

private:
    std::unique_ptr<Distance[]> values_;
    std::size_t order_;
};

// How strictly the matrix is read. The dialogue reads as the stream does: junk glued to a
// number is the next token, and a row that cannot be read leaves its ID and every later one
// unfound. Batch mode wants every distance of a listed row to be a number, whole.
enum class Strictness { as_the_stream, whole_numbers };

// Gathers every token of the list file; their number is the list count.
lists::NameList count_list_entries(TokenReader& list);

// The declared order, or 0 when the first token is no 32-bit integer.
std::int32_t read_matrix_order(TokenReader& matrix);

// Fills the rows of the listed IDs and draws the reading meter (the caller ends its line). A
// row whose distances cannot all be read leaves its ID unfound, so nothing unset is ever
// written out. When the matrix could not be read to its last row, says where and why.
template <typename Distance>
std::optional<std::string> read_distance_matrix(TokenReader& matrix, IdTable& ids, std::int32_t order,
                                                DistanceRows<Distance>& rows, Strictness strictness,
                                                console::Meter& meter);

// Why the order could not be read, for a matrix whose first token is no order.
std::string describe_unreadable_order(TokenReader& matrix);

}  // namespace orvane
