#include "orvane/readers/pair_lookups.hpp"

#include <utility>

namespace orvane {

namespace {

// A run's names are kept up to this much text: a list that is one long run is looked up as it
// goes past, rather than held whole.
constexpr std::size_t most_run_text = std::size_t{4} << 20;

}  // namespace

std::int64_t CachedLookup::slot_of(IdTable& ids, std::string_view name, bool& changed) {
    changed = !holds(name);
    if (changed) {
        last_.assign(name);
        slot_ = ids.slot_of_row(name);
        looked_up_ = true;
    }
    return slot_;
}

std::string_view RunLookup::Run::name(std::size_t place) const {
    const std::size_t begin = place == 0 ? 0 : ends[place - 1];
    return std::string_view(names).substr(begin, ends[place] - begin);
}

void RunLookup::Run::clear() {
    names.clear();
    ends.clear();
    slots.clear();
}

void RunLookup::begin_run() {
    // A run whose first IDs were never asked for (nothing of it was taken) keeps the one before.
    if (!current_.ends.empty()) {
        std::swap(previous_, current_);
        current_.clear();
    }
    place_ = 0;
}

std::int64_t RunLookup::slot_of(IdTable& ids, std::string_view name) {
    const std::size_t place = place_++;
    const std::int64_t slot =
        place < previous_.ends.size() && previous_.name(place) == name ? previous_.slots[place] : ids.slot_of_row(name);
    if (place == current_.ends.size() && current_.names.size() + name.size() <= most_run_text) {
        current_.names.append(name);
        current_.ends.push_back(current_.names.size());
        current_.slots.push_back(slot);
    }
    return slot;
}

}  // namespace orvane
