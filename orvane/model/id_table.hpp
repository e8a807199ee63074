// The IDs a cut writes, and which matrix row gave each.
#pragma once

#include "text/name_list.hpp"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace orvane {

// The IDs to write and, per distinct ID, the matrix row that supplied it: the listed IDs, or
// (exclusion) every row's ID but the listed ones, in matrix order, gathered as the rows are read.
class IdTable {
public:
    static constexpr std::int32_t not_found = -1;

    // Whether the list names the IDs to take, or the IDs to leave out of every row's.
    enum class Listing { taken, excluded };

    // Takes the list as read; may throw std::bad_alloc.
    explicit IdTable(text::NameList ids, Listing listing = Listing::taken);

    const text::NameList& ids() const { return ids_; }
    std::size_t size() const { return ids_.size(); }
    // The length of the longest ID: a longer row name matches none, and need not be held whole.
    std::size_t longest_name() const { return longest_name_; }
    bool excludes() const { return excluded_.has_value(); }
    // The slot that a row named `name` fills, or -1 for a row not taken. Excluding, a name not
    // seen before gets the next slot.
    std::int64_t slot_of_row(std::string_view name);
    // How many rows of distances a matrix of `order` columns needs.
    std::size_t slots_for(std::size_t order) const { return excluded_ ? order : ids_.slot_count(); }
    // Excluding: the IDs gathered become the table's, in the order their rows came.
    void take_gathered_ids();
    // Before the next data set: no row found yet; excluding, no ID gathered.
    void forget_rows();
    // Excluding: how many of the listed IDs named a row.
    std::size_t excluded_seen() const;

    // The 0-based matrix row of a slot, or not_found.
    std::int32_t matrix_row(std::uint32_t slot) const { return matrix_row_[slot]; }
    void set_matrix_row(std::uint32_t slot, std::int32_t row) { matrix_row_[slot] = row; }
    bool found_at(std::size_t position) const { return matrix_row_[ids_.slot(position)] != not_found; }

    // The name every output gives an ID: its own, or the short one given for its slot.
    std::string_view written_name(std::size_t position) const {
        return short_names_.empty() ? ids_.name(position) : std::string_view(short_names_[ids_.slot(position)]);
    }
    void rename(std::vector<std::string> per_slot) { short_names_ = std::move(per_slot); }

private:
    struct Exclusion {
        text::NameList excluded;
        std::vector<bool> seen;
        std::vector<std::string> gathered;
        std::unordered_map<std::string, std::uint32_t> slot_of_gathered;
    };
    text::NameList ids_;
    std::vector<std::int32_t> matrix_row_;
    std::size_t longest_name_ = 0;
    std::optional<Exclusion> excluded_;
    std::vector<std::string> short_names_;
};

}  // namespace orvane
