// The text room: the seeded hash of every name table.
#include "text/seeded_hash.hpp"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

namespace {

// Names crafted to share a table index under one seed spread out under another: a list made
// against one run's hash cannot flood the next run's tables.
TEST(SeededHash, CollisionsFoundForOneSeedDoNotCarryOver) {
    constexpr std::uint64_t mask = 0xFFF;
    std::vector<std::string> colliding;
    for (int candidate = 0; colliding.size() < 200; ++candidate) {
        const std::string name = "NM_" + std::to_string(candidate);
        if ((text::hash_text(name, 1) & mask) == 0) {
            colliding.push_back(name);
        }
    }
    std::map<std::uint64_t, int> buckets;
    for (const std::string& name : colliding) {
        ++buckets[text::hash_text(name, 2) & mask];
    }
    int fullest = 0;
    for (const auto& [bucket, count] : buckets) {
        fullest = std::max(fullest, count);
    }
    EXPECT_LE(fullest, 4);
    EXPECT_NE(text::random_seed(), text::random_seed());
}

}  // namespace
