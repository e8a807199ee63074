#include "talmiro/match/name_matcher.hpp"

#include <algorithm>
#include <bit>
#include <cstring>
#include <map>

namespace talmiro {

namespace {

// Prefix hashes are polynomials modulo the Mersenne prime 2^61 - 1 in a secret base, with the
// header's 8-byte words as coefficients: h(8q + 8) = h(8q) * base + word q. A prefix that ends
// inside a word adds that word's first bytes times a secret odd number (cheap: one such sum per
// name length a header is looked up at). Two different names of one length collide only by a
// chance nobody who does not know the secrets can steer.
constexpr std::uint64_t prime = (std::uint64_t{1} << 61) - 1;
__extension__ using Wide = unsigned __int128;

std::uint64_t reduced(Wide value) {
    const std::uint64_t folded = static_cast<std::uint64_t>(value & prime) + static_cast<std::uint64_t>(value >> 61);
    return folded >= prime ? folded - prime : folded;
}

std::uint64_t folded_in(std::uint64_t hash, std::uint64_t base, std::uint64_t word) {
    return reduced(Wide{hash} * base + (word & prime) + (word >> 61));
}

std::uint64_t word_at(const char* at, std::size_t bytes) {
    std::uint64_t word = 0;
    std::memcpy(&word, at, bytes);
    return word;
}

// The first `bytes` (1 to 7) of the word at `at`, read as one load where `room` bytes allow it.
std::uint64_t partial_word_at(const char* at, std::size_t bytes, std::size_t room) {
    if (room >= 8) {
        return word_at(at, 8) & ((std::uint64_t{1} << (8 * bytes)) - 1);
    }
    return word_at(at, bytes);
}

// The last `count` (1 to 7) of the `size` bytes at `at`, as word_at(at + size - count, count)
// reads them: the word hashed last, read as one load (a copy of a variable count is a call).
std::uint64_t last_word_at(const char* at, std::size_t size, std::size_t count) {
    if constexpr (std::endian::native == std::endian::little) {
        if (size >= 8) {
            return word_at(at + size - 8, 8) >> (8 * (8 - count));
        }
    }
    std::uint64_t word = 0;
    for (std::size_t byte = 0; byte < count; ++byte) {
        word |= std::uint64_t{static_cast<unsigned char>(at[size - count + byte])} << (8 * byte);
    }
    return word;
}

// The two filter bits of a name of this hash and length, from bits the table index does not use
// (the length stirred in: the filter serves every length).
std::size_t first_filter_bit(std::uint64_t hash, std::size_t length) {
    return static_cast<std::size_t>((hash >> 24) ^ (length * 0x9E3779B1U));
}
std::size_t second_filter_bit(std::uint64_t hash, std::size_t length) {
    return static_cast<std::size_t>((hash >> 44) ^ (hash >> 3) ^ (length * 0x85EBCA77U));
}

}  // namespace

NameMatcher::NameMatcher(const text::NameList& names)
    : base_(text::random_seed() % (prime - 2) + 2), odd_(text::random_seed() | 1) {
    std::map<std::size_t, std::vector<std::uint32_t>> slots_by_length;
    for (std::uint32_t slot = 0; slot < names.slot_count(); ++slot) {
        slots_by_length[names.name(names.first_position(slot)).size()].push_back(slot);
    }
    groups_.reserve(slots_by_length.size());
    const std::size_t filter_bits = std::bit_ceil(std::max<std::size_t>(512, names.slot_count() * 16));
    filter_mask_ = filter_bits - 1;
    filter_.assign(filter_bits / 64, 0);
    for (const auto& [length, slots] : slots_by_length) {
        // At most half full, so probes stay short.
        const std::size_t capacity = std::bit_ceil(std::max<std::size_t>(8, slots.size() * 2));
        lengths_.push_back(static_cast<std::uint32_t>(std::min<std::size_t>(length, UINT32_MAX)));
        LengthGroup& group = groups_.emplace_back(
            LengthGroup{length, capacity - 1, std::vector<Cell>(capacity, Cell{0, empty_cell, 0, nullptr})});
        for (const std::uint32_t slot : slots) {
            const std::string_view name = names.name(names.first_position(slot));
            const std::uint64_t hash = hash_of(name);
            std::size_t at = hash & group.mask;
            while (group.cells[at].slot != empty_cell) {
                at = (at + 1) & group.mask;
            }
            group.cells[at] = Cell{static_cast<std::uint32_t>(hash), slot, names.first_position(slot), name.data()};
            for (const std::size_t bit :
                 {first_filter_bit(hash, length) & filter_mask_, second_filter_bit(hash, length) & filter_mask_}) {
                filter_[bit / 64] |= std::uint64_t{1} << (bit % 64);
            }
        }
    }
}

bool NameMatcher::maybe_listed(std::uint64_t hash, std::size_t length) const {
    const std::size_t first = first_filter_bit(hash, length) & filter_mask_;
    const std::size_t second = second_filter_bit(hash, length) & filter_mask_;
    return ((filter_[first / 64] >> (first % 64)) & (filter_[second / 64] >> (second % 64)) & 1) != 0;
}

std::uint64_t NameMatcher::hash_of(std::string_view name) const {
    std::uint64_t hash = 0;
    std::size_t at = 0;
    for (; at + 8 <= name.size(); at += 8) {
        hash = folded_in(hash, base_, word_at(name.data() + at, 8));
    }
    return with_rest(hash, at < name.size() ? last_word_at(name.data(), name.size(), name.size() - at) : 0);
}

const NameMatcher::Cell* NameMatcher::find_in(const LengthGroup& group, std::string_view prefix,
                                              std::uint64_t hash) const {
    if (!maybe_listed(hash, group.length)) {
        return nullptr;
    }
    for (std::size_t at = hash & group.mask;; at = (at + 1) & group.mask) {
        const Cell& cell = group.cells[at];
        if (cell.slot == empty_cell) {
            return nullptr;
        }
        if (cell.hash == static_cast<std::uint32_t>(hash) &&
            std::memcmp(cell.name, prefix.data(), prefix.size()) == 0) {
            return &cell;
        }
    }
}

std::int64_t NameMatcher::first_match(std::string_view header) const {
    const Cell* best = nullptr;
    std::uint64_t whole_words = 0;  // the hash of the first `folded` bytes, a multiple of 8
    std::size_t folded = 0;
    std::size_t lengths_looked_at = 0;
    // The lengths alone, packed, are what every header walks; a group is touched only when the
    // filter lets its length through.
    for (std::size_t index = 0; index < lengths_.size() && lengths_[index] <= header.size(); ++index) {
        const std::size_t length = lengths_[index];
        for (; folded + 8 <= length; folded += 8) {
            whole_words = folded_in(whole_words, base_, word_at(header.data() + folded, 8));
        }
        const std::size_t rest = length - folded;
        const std::uint64_t hash = with_rest(
            whole_words, rest > 0 ? partial_word_at(header.data() + folded, rest, header.size() - folded) : 0);
        lengths_looked_at = index + 1;
        if (!maybe_listed(hash, length)) {
            continue;
        }
        const Cell* const found = find_in(groups_[index], header.substr(0, length), hash);
        if (found != nullptr && (best == nullptr || found->first_position < best->first_position)) {
            best = found;
        }
    }
    if (work_ != nullptr) {
        *work_ += folded / 8 + lengths_looked_at;  // words folded, lengths hashed and filtered
    }
    return best == nullptr ? -1 : std::int64_t{best->slot};
}

std::int64_t NameMatcher::exact_match(std::string_view word) const {
    const auto group =
        std::lower_bound(groups_.begin(), groups_.end(), word.size(),
                         [](const LengthGroup& candidate, std::size_t length) { return candidate.length < length; });
    if (group == groups_.end() || group->length != word.size()) {
        return -1;
    }
    const Cell* const found = find_in(*group, word, hash_of(word));
    return found == nullptr ? -1 : std::int64_t{found->slot};
}

}  // namespace talmiro
