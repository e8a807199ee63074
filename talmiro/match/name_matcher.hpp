// Finds, for a FASTA header line, the first listed name (in list order) that begins it.
#pragma once

#include "text/name_list.hpp"

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace talmiro {

// Names are grouped by length, one hash table per length: a header is looked up once per
// distinct name length that fits it, however many names the list holds. The prefixes' hashes
// come from one pass over the header, eight bytes at a time (a polynomial in a secret drawn per
// run), so the work per header is bounded by its length whatever lengths the list holds. The
// tables are flat (open addressing, the hash kept beside the slot) because a lookup per record
// is the hot path of the whole run: a chained table costs a cache miss or two per record.
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

    // Counts the work of each lookup (words folded into a hash, groups looked at) into
    // `counter`, for a test that the work stays bounded by the header's length.
    void count_work(std::size_t* counter) { work_ = counter; }

private:
    // Everything a probe needs is in the cell, so a probe touches the table and, on a hash
    // hit, the name's text: nothing else of the list.
    struct Cell {
        std::uint32_t hash;
        std::uint32_t slot;  // empty_cell when unused
        std::uint64_t first_position;
        const char* name;
    };
    struct LengthGroup {
        std::size_t length;
        std::size_t mask;  // cells.size() - 1, a power of two minus one
        std::vector<Cell> cells;
    };
    // Most headers match no name. One bit filter for every length (two bits a name, 16 bits of
    // room a name), small enough to stay in cache, turns nearly all of them away before any
    // table, which for a long list is far larger than the cache, is touched at all; one for
    // all lengths, so that a list of many lengths costs a header one cached bit test a length.
    bool maybe_listed(std::uint64_t hash, std::size_t length) const;
    static constexpr std::uint32_t empty_cell = UINT32_MAX;

    const Cell* find_in(const LengthGroup& group, std::string_view prefix, std::uint64_t hash) const;

    // The hash of a whole name, as the one pass gives it for a prefix of that length.
    std::uint64_t hash_of(std::string_view name) const;
    // The hash of a prefix: its whole words' hash, and the bytes of its last word past them.
    std::uint64_t with_rest(std::uint64_t whole_words, std::uint64_t rest) const {
        std::uint64_t hash = whole_words * 0x9E3779B97F4A7C15ULL + rest * odd_;
        return hash ^ (hash >> 29);
    }

    std::uint64_t base_;                  // secret per run: no list can be made to collide
    std::uint64_t odd_;                   // secret per run too
    std::vector<LengthGroup> groups_;     // by ascending length
    std::vector<std::uint32_t> lengths_;  // each group's
    std::size_t filter_mask_ = 0;         // filter bits - 1
    std::vector<std::uint64_t> filter_;
    std::size_t* work_ = nullptr;
};

}  // namespace talmiro
