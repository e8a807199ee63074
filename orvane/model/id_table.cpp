#include "orvane/model/id_table.hpp"

#include <algorithm>
#include <limits>
#include <utility>

namespace orvane {

IdTable::IdTable(text::NameList ids, Listing listing) {
    ids.assign_slots();
    if (listing == Listing::excluded) {
        excluded_.emplace();
        excluded_->seen.assign(ids.slot_count(), false);
        excluded_->excluded = std::move(ids);
        longest_name_ = std::numeric_limits<std::size_t>::max() / 2;  // every row may be taken
        return;
    }
    ids_ = std::move(ids);
    matrix_row_.assign(ids_.slot_count(), not_found);
    for (std::size_t position = 0; position < ids_.size(); ++position) {
        longest_name_ = std::max(longest_name_, ids_.name(position).size());
    }
}

std::int64_t IdTable::slot_of_row(std::string_view name) {
    if (!excluded_) {
        return ids_.find_slot(name);
    }
    if (const std::int64_t listed = excluded_->excluded.find_slot(name); listed >= 0) {
        excluded_->seen[static_cast<std::size_t>(listed)] = true;
        return -1;
    }
    // One entry per row of the matrix, not per value: the row's distances dwarf it.
    const auto [entry, added] = excluded_->slot_of_gathered.try_emplace(
        std::string(name), static_cast<std::uint32_t>(excluded_->gathered.size()));
    if (added) {
        excluded_->gathered.emplace_back(name);
        matrix_row_.push_back(not_found);
    }
    return entry->second;
}

void IdTable::take_gathered_ids() {
    if (!excluded_) {
        return;
    }
    text::NameList kept;
    for (const std::string& name : excluded_->gathered) {
        kept.add(name);
    }
    if (kept.out_of_memory()) {
        throw std::bad_alloc();
    }
    kept.assign_slots();
    ids_ = std::move(kept);
}

void IdTable::forget_rows() {
    if (excluded_) {
        excluded_->gathered.clear();
        excluded_->slot_of_gathered.clear();
        ids_ = text::NameList();
        matrix_row_.clear();
        return;
    }
    std::fill(matrix_row_.begin(), matrix_row_.end(), not_found);
}

std::size_t IdTable::excluded_seen() const {
    return excluded_ ? static_cast<std::size_t>(std::count(excluded_->seen.begin(), excluded_->seen.end(), true)) : 0;
}

}  // namespace orvane
