#include "text/name_list.hpp"

#include <new>

namespace text {

void NameList::add(std::string_view name) {
    ++count_;
    if (out_of_memory_) {
        return;
    }
    try {
        text_.insert(text_.end(), name.begin(), name.end());
        ends_.push_back(text_.size());
    } catch (const std::bad_alloc&) {
        out_of_memory_ = true;
        text_ = std::vector<char>();
        ends_ = std::vector<std::size_t>();
    }
}

void NameList::assign_slots() {
    slot_of_position_.reserve(ends_.size());
    slot_of_name_.reserve(ends_.size());
    for (std::size_t position = 0; position < ends_.size(); ++position) {
        const auto [where, added] =
            slot_of_name_.try_emplace(name(position), static_cast<std::uint32_t>(first_position_of_slot_.size()));
        if (added) {
            first_position_of_slot_.push_back(position);
        }
        slot_of_position_.push_back(where->second);
    }
}

std::string_view NameList::name(std::size_t position) const {
    const std::size_t begin = position == 0 ? 0 : ends_[position - 1];
    return {text_.data() + begin, ends_[position] - begin};
}

std::int64_t NameList::find_slot(std::string_view name) const {
    const auto where = slot_of_name_.find(name);
    return where == slot_of_name_.end() ? -1 : std::int64_t{where->second};
}

}  // namespace text
