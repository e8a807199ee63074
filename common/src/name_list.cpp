#include "name_list.hpp"

#include <cstring>
#include <new>
#include <random>

namespace lists {

namespace {

constexpr std::uint64_t multiplier = 0x9E3779B97F4A7C15ULL;

std::uint64_t mix(std::uint64_t state, std::uint64_t word) {
    state = (state ^ word) * multiplier;
    return state ^ (state >> 29);
}

}  // namespace

std::uint64_t hash_text(std::string_view text, std::uint64_t seed) {
    std::uint64_t state = mix(seed, text.size() * multiplier);
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
    // One more round with the seed, so that the seed reaches every bit of the result.
    state = mix(state, seed);
    return state ^ (state >> 32);
}

std::uint64_t random_seed() {
    std::random_device device;
    return (std::uint64_t{device()} << 32) ^ device();
}

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

}  // namespace lists
