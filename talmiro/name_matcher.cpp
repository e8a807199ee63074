#include "talmiro/name_matcher.hpp"

#include <algorithm>
#include <bit>
#include <cstring>
#include <map>

namespace talmiro {

namespace {

// The two filter bits of a hash, from bits the table index does not use.
std::size_t first_filter_bit(std::uint64_t hash) { return static_cast<std::size_t>(hash >> 24); }
std::size_t second_filter_bit(std::uint64_t hash) { return static_cast<std::size_t>((hash >> 44) ^ (hash >> 3)); }

}  // namespace

NameMatcher::NameMatcher(const text::NameList& names) : seed_(text::random_seed()) {
    std::map<std::size_t, std::vector<std::uint32_t>> slots_by_length;
    for (std::uint32_t slot = 0; slot < names.slot_count(); ++slot) {
        slots_by_length[names.name(names.first_position(slot)).size()].push_back(slot);
    }
    groups_.reserve(slots_by_length.size());
    for (const auto& [length, slots] : slots_by_length) {
        // At most half full, so probes stay short.
        const std::size_t capacity = std::bit_ceil(std::max<std::size_t>(8, slots.size() * 2));
        const std::size_t filter_bits = std::bit_ceil(std::max<std::size_t>(512, slots.size() * 16));
        LengthGroup& group = groups_.emplace_back(LengthGroup{length, capacity - 1,
                                                              std::vector<Cell>(capacity, Cell{0, empty_cell, 0, nullptr}),
                                                              filter_bits - 1, std::vector<std::uint64_t>(filter_bits / 64)});
        for (const std::uint32_t slot : slots) {
            const std::string_view name = names.name(names.first_position(slot));
            const std::uint64_t hash = text::hash_text(name, seed_);
            std::size_t at = hash & group.mask;
            while (group.cells[at].slot != empty_cell) {
                at = (at + 1) & group.mask;
            }
            group.cells[at] = Cell{static_cast<std::uint32_t>(hash), slot, names.first_position(slot), name.data()};
            for (const std::size_t bit : {first_filter_bit(hash) & group.filter_mask,
                                          second_filter_bit(hash) & group.filter_mask}) {
                group.filter[bit / 64] |= std::uint64_t{1} << (bit % 64);
            }
        }
    }
}

bool NameMatcher::maybe_listed(const LengthGroup& group, std::uint64_t hash) {
    const std::size_t first = first_filter_bit(hash) & group.filter_mask;
    const std::size_t second = second_filter_bit(hash) & group.filter_mask;
    return ((group.filter[first / 64] >> (first % 64)) & (group.filter[second / 64] >> (second % 64)) & 1) != 0;
}

const NameMatcher::Cell* NameMatcher::find_in(const LengthGroup& group, std::string_view prefix) const {
    const std::uint64_t hash = text::hash_text(prefix, seed_);
    if (!maybe_listed(group, hash)) {
        return nullptr;
    }
    for (std::size_t at = hash & group.mask;; at = (at + 1) & group.mask) {
        const Cell& cell = group.cells[at];
        if (cell.slot == empty_cell) {
            return nullptr;
        }
        if (cell.hash == static_cast<std::uint32_t>(hash) && std::memcmp(cell.name, prefix.data(), prefix.size()) == 0) {
            return &cell;
        }
    }
}

std::int64_t NameMatcher::first_match(std::string_view header) const {
    const Cell* best = nullptr;
    for (const LengthGroup& group : groups_) {
        if (group.length > header.size()) {
            break;
        }
        const Cell* const found = find_in(group, header.substr(0, group.length));
        if (found != nullptr && (best == nullptr || found->first_position < best->first_position)) {
            best = found;
        }
    }
    return best == nullptr ? -1 : std::int64_t{best->slot};
}

std::int64_t NameMatcher::exact_match(std::string_view word) const {
    const auto group = std::lower_bound(groups_.begin(), groups_.end(), word.size(),
                                        [](const LengthGroup& candidate, std::size_t length) { return candidate.length < length; });
    if (group == groups_.end() || group->length != word.size()) {
        return -1;
    }
    const Cell* const found = find_in(*group, word);
    return found == nullptr ? -1 : std::int64_t{found->slot};
}

}  // namespace talmiro
