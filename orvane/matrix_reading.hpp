// Reading the ID list and the input distance matrix.
#pragma once

#include "console.hpp"
#include "token_reader.hpp"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace orvane {

// The list file's tokens as read, back to back in one text.
struct ListTokens {
    std::string text;
    std::vector<std::size_t> ends;  // end offset of each token in `text`
    std::size_t count = 0;          // every token, also those that found no room
    bool out_of_memory = false;     // then `text` and `ends` are empty
};

// The listed IDs in list order. An ID listed more than once has one slot shared by all its
// entries, so every occurrence is found by the same matrix row and written in its own place.
class IdTable {
public:
    struct Entry {
        std::size_t offset;
        std::size_t length;
        std::uint32_t slot;
    };
    static constexpr std::int32_t not_found = -1;

    explicit IdTable(ListTokens tokens);

    std::size_t size() const { return entries_.size(); }
    std::size_t slot_count() const { return matrix_row_.size(); }
    const std::vector<Entry>& entries() const { return entries_; }
    std::string_view id(const Entry& entry) const { return {text_.data() + entry.offset, entry.length}; }

    // The slot whose ID equals `name` exactly, or -1.
    std::int64_t find_slot(std::string_view name) const;

    // The 0-based matrix row of a slot, or not_found.
    std::int32_t matrix_row(std::uint32_t slot) const { return matrix_row_[slot]; }
    void set_matrix_row(std::uint32_t slot, std::int32_t row) { matrix_row_[slot] = row; }

    // Entries whose ID some matrix row supplied.
    std::size_t found_count() const;

private:
    std::string text_;
    std::vector<Entry> entries_;
    std::vector<std::int32_t> matrix_row_;
    std::unordered_map<std::string_view, std::uint32_t> slot_of_;
};

// One distance row per slot, in the input matrix's column order. Deliberately left
// uninitialised: a huge declared order must cost nothing until rows are actually read.
class DistanceRows {
public:
    DistanceRows(std::size_t slot_count, std::size_t order);
    float* row(std::uint32_t slot) { return values_.get() + slot * order_; }
    const float* row(std::uint32_t slot) const { return values_.get() + slot * order_; }

private:
    std::unique_ptr<float[]> values_;
    std::size_t order_;
};

// Gathers every token of the list file; their number is the list count. When the tokens do
// not fit in memory they are still counted, so the count can be shown before the abort.
ListTokens count_list_entries(TokenReader& list);

// The declared order, or 0 when the first token is no 32-bit integer.
std::int32_t read_matrix_order(TokenReader& matrix);

// Fills the rows of the listed IDs and draws the reading meter. A row whose distances cannot
// all be read leaves its ID unfound, so nothing unset is ever written out.
void read_distance_matrix(TokenReader& matrix, IdTable& ids, std::int32_t order, DistanceRows& rows,
                          console::Console& console);

// One question per missing ID, in list order; false at the first refusal.
bool confirm_missing_ids(const IdTable& ids, console::Console& console);

}  // namespace orvane
