#include "name_matcher.hpp"

#include <algorithm>
#include <bit>
#include <cstring>
#include <limits>
#include <map>

namespace talmiro {

namespace {

constexpr std::uint64_t multiplier = 0x9E3779B97F4A7C15ULL;

std::uint64_t mix(std::uint64_t state, std::uint64_t word) {
    state = (state ^ word) * multiplier;
    return state ^ (state >> 29);
}

}  // namespace

std::uint64_t hash_text(std::string_view text) {
    std::uint64_t state = text.size() * multiplier;
    const char* at = text.data();
    std::size_t left = text.size();
    for (; left >= 8; at += 8, left -= 8) {
        std::uint64_t word = 0;
        std::memcpy(&word, at, 8);
        state = mix(state, word);
    }
    if (left > 0) {
        std::uint64_t word = 0;
        std::memcpy(&word, at, left);
        state = mix(state, word);
    }
    return state ^ (state >> 32);
}

NameMatcher::NameMatcher(const console::NameList& names) : names_(names) {
    std::map<std::size_t, std::vector<std::uint32_t>> slots_by_length;
    for (std::uint32_t slot = 0; slot < names.slot_count(); ++slot) {
        slots_by_length[names.name(names.first_position(slot)).size()].push_back(slot);
    }
    groups_.reserve(slots_by_length.size());
    for (const auto& [length, slots] : slots_by_length) {
        // At most half full, so probes stay short.
        const std::size_t capacity = std::bit_ceil(std::max<std::size_t>(8, slots.size() * 2));
        LengthGroup& group = groups_.emplace_back(
            LengthGroup{length, capacity - 1, std::vector<Cell>(capacity, Cell{0, empty_cell})});
        for (const std::uint32_t slot : slots) {
            const std::uint64_t hash = hash_text(names.name(names.first_position(slot)));
            std::size_t at = hash & group.mask;
            while (group.cells[at].slot != empty_cell) {
                at = (at + 1) & group.mask;
            }
            group.cells[at] = Cell{static_cast<std::uint32_t>(hash), slot};
        }
    }
}

std::int64_t NameMatcher::find_in(const LengthGroup& group, std::string_view prefix) const {
    const std::uint64_t hash = hash_text(prefix);
    for (std::size_t at = hash & group.mask;; at = (at + 1) & group.mask) {
        const Cell& cell = group.cells[at];
        if (cell.slot == empty_cell) {
            return -1;
        }
        if (cell.hash == static_cast<std::uint32_t>(hash) &&
            std::memcmp(names_.name(names_.first_position(cell.slot)).data(), prefix.data(), prefix.size()) == 0) {
            return cell.slot;
        }
    }
}

std::int64_t NameMatcher::first_match(std::string_view header) const {
    std::int64_t best_slot = -1;
    std::size_t best_position = std::numeric_limits<std::size_t>::max();
    for (const LengthGroup& group : groups_) {
        if (group.length > header.size()) {
            break;
        }
        const std::int64_t slot = find_in(group, header.substr(0, group.length));
        if (slot >= 0 && names_.first_position(static_cast<std::uint32_t>(slot)) < best_position) {
            best_position = names_.first_position(static_cast<std::uint32_t>(slot));
            best_slot = slot;
        }
    }
    return best_slot;
}

}  // namespace talmiro
