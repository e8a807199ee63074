// The names of a list file, as both programs hold them.
#pragma once

#include "text/seeded_hash.hpp"

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace text {

// The names of a list file in list order, each held whole. A name listed more than once has
// one slot shared by all its places, so whatever is found for it is found at every place.
class NameList {
public:
    NameList() = default;
    // Moved only: the name map holds views into the list's own text.
    NameList(NameList&&) = default;
    NameList& operator=(NameList&&) = default;
    NameList(const NameList&) = delete;
    NameList& operator=(const NameList&) = delete;

    // Adds the next name. Once memory runs out names are still counted, so the count can be
    // shown before the run reports the failure.
    void add(std::string_view name);
    std::size_t count() const { return count_; }
    bool out_of_memory() const { return out_of_memory_; }

    // Assigns the slots; call once, after the last add. May throw std::bad_alloc.
    void assign_slots();

    std::size_t size() const { return ends_.size(); }
    std::string_view name(std::size_t position) const;
    std::uint32_t slot(std::size_t position) const { return slot_of_position_[position]; }
    std::size_t slot_count() const { return first_position_of_slot_.size(); }
    std::size_t first_position(std::uint32_t slot) const { return first_position_of_slot_[slot]; }

    // The slot whose name equals `name` exactly, or -1.
    std::int64_t find_slot(std::string_view name) const;

private:
    // Every name, back to back. A vector, not a string: its storage survives a move of the
    // list (no small-string buffer), and slot_of_name_ holds views into it.
    std::vector<char> text_;
    std::vector<std::size_t> ends_;  // where each name ends in text_
    std::size_t count_ = 0;
    bool out_of_memory_ = false;
    std::vector<std::uint32_t> slot_of_position_;
    std::vector<std::size_t> first_position_of_slot_;
    std::unordered_map<std::string_view, std::uint32_t, SeededHash> slot_of_name_{0, SeededHash{random_seed()}};
};

}  // namespace text
