// The text room: the seeded hash of every name table.
#include "text/line_breaks.hpp"
#include "text/printable.hpp"
#include "text/seeded_hash.hpp"

#include <gtest/gtest.h>

#include <algorithm>
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

// The lane-wise counts against a byte loop: every start and length around the sixteen-byte
// blocks, runs long enough to fill a lane (255 blocks), none at all, and every byte that borders
// '!' to '~' (a blank, DEL, bytes over 127 that compare as negative).
TEST(LineBreaks, CountedAsByteByByte) {
    std::string text;
    const std::string odd = " \r\t\x7f\x80\xff!~";
    for (std::size_t index = 0; index < 9000; ++index) {
        text += index % 13 == 0 || (index > 2000 && index < 7000) ? '\n'
                : index % 11 == 0                                 ? odd[index % odd.size()]
                                                                  : static_cast<char>('a' + index % 26);
    }
    const auto unprintable = [](char byte) { return byte < '!' || byte > '~'; };
    for (const std::size_t start : {std::size_t{0}, std::size_t{1}, std::size_t{7}, std::size_t{15}, std::size_t{16}}) {
        for (std::size_t length = 0; start + length <= text.size(); length += length < 70 ? 1 : 997) {
            const std::string_view bytes = std::string_view(text).substr(start, length);
            EXPECT_EQ(text::count_line_breaks(bytes),
                      static_cast<std::uint64_t>(std::count(bytes.begin(), bytes.end(), '\n')))
                << "start " << start << ", length " << length;
            EXPECT_EQ(text::count_unprintable(bytes),
                      static_cast<std::uint64_t>(std::count_if(bytes.begin(), bytes.end(), unprintable)))
                << "start " << start << ", length " << length;
        }
    }
    EXPECT_EQ(text::count_line_breaks(std::string(5000, 'x')), 0U);
    EXPECT_EQ(text::count_unprintable(std::string(5000, 'x')), 0U);
}
