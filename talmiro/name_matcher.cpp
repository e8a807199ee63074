#include "name_matcher.hpp"

#include <algorithm>
#include <limits>
#include <map>

namespace talmiro {

NameMatcher::NameMatcher(const console::NameList& names) : names_(names) {
    std::map<std::size_t, std::vector<std::uint32_t>> slots_by_length;
    for (std::uint32_t slot = 0; slot < names.slot_count(); ++slot) {
        slots_by_length[names.name(names.first_position(slot)).size()].push_back(slot);
    }
    groups_.reserve(slots_by_length.size());
    for (const auto& [length, slots] : slots_by_length) {
        LengthGroup& group = groups_.emplace_back(LengthGroup{length, {}});
        group.slot_of_name.reserve(slots.size());
        for (const std::uint32_t slot : slots) {
            group.slot_of_name.emplace(names.name(names.first_position(slot)), slot);
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
        const auto found = group.slot_of_name.find(header.substr(0, group.length));
        if (found != group.slot_of_name.end() && names_.first_position(found->second) < best_position) {
            best_position = names_.first_position(found->second);
            best_slot = found->second;
        }
    }
    return best_slot;
}

}  // namespace talmiro
