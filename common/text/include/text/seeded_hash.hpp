// The hash every name table uses, seeded per run.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace text {

// A fast, well-mixed hash of a short text, eight bytes at a time. Seeded with a secret drawn per
// run (random_seed), so that nobody can craft a list whose names all collide and turn every
// lookup into a scan of the list.
std::uint64_t hash_text(std::string_view text, std::uint64_t seed);
std::uint64_t random_seed();

struct SeededHash {
    std::uint64_t seed;
    std::size_t operator()(std::string_view text) const { return hash_text(text, seed); }
};

}  // namespace text
