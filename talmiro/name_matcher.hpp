// Finds, for a FASTA header line, the first listed name (in list order) that begins it.
#pragma once

#include "text/name_list.hpp"

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace talmiro {

// Names are grouped by length, one hash table per length: a header is looked up once per
// distinct name length that fits it, however many names the list holds. The tables are flat
// (open addressing, the hash kept beside the slot) because a lookup per record is the hot path
// of the whole run: a chained table costs a cache miss or two per record.
class NameMatcher {
public:
    // `names` must have its slots assigned and outlive the matcher (cells point at its text).
    explicit NameMatcher(const text::NameList& names);

    // The slot of the listed name with the smallest list position that begins `header`, or -1.
    std::int64_t first_match(std::string_view header) const;
    // The length of the longest listed name.
    std::size_t longest_name() const { return groups_.empty() ? 0 : groups_.back().length; }
    // The slot of the listed name that equals `word`, or -1.
    std::int64_t exact_match(std::string_view word) const;

private:
    // Everything a probe needs is in the cell, so a probe touches the table and, on a hash
    // hit, the name's text: nothing else of the list.
    struct Cell {
        std::uint32_t hash;
        std::uint32_t slot;  // empty_cell when unused
        std::uint64_t first_position;
        const char* name;
    };
    // Most headers match no name. A bit filter (two bits a name, 16 bits of room a name) small
    // enough to stay in cache turns nearly all of them away before the table, which for a long
    // list is far larger than the cache, is touched at all.
    struct LengthGroup {
        std::size_t length;
        std::size_t mask;  // cells.size() - 1, a power of two minus one
        std::vector<Cell> cells;
        std::size_t filter_mask;  // filter bits - 1
        std::vector<std::uint64_t> filter;
    };
    static bool maybe_listed(const LengthGroup& group, std::uint64_t hash);
    static constexpr std::uint32_t empty_cell = UINT32_MAX;

    const Cell* find_in(const LengthGroup& group, std::string_view prefix) const;

    std::uint64_t seed_;               // secret per run: see text::hash_text
    std::vector<LengthGroup> groups_;  // by ascending length
};

}  // namespace talmiro
