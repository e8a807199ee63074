// The match room against straightforward references: list reading, and the name matcher
// against a linear scan of the list.
#include "io/name_lines.hpp"
#include "support/reference.hpp"
#include "support/session.hpp"
#include "support/talmiro_reading.hpp"
#include "talmiro/index/fai_format.hpp"
#include "talmiro/index/record_table.hpp"
#include "talmiro/match/name_matcher.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <span>
#include <sstream>
#include <string>
#include <unordered_map>
#include <vector>

namespace {

using testing_support::first_listed_prefix;
using testing_support::random_text;
using testing_support::reference_is_fastq;
using testing_support::reference_records;
using testing_support::ScratchDir;

using testing_support::BufferSetup;

io::LineReader open_reader(const ScratchDir& dir, const std::string& content, const BufferSetup& setup) {
    dir.write("input", content);
    return io::LineReader(*io::InputFile::open((dir / "input").string()), setup.size, setup.access);
}

std::vector<std::string> names_of(const text::NameList& list) {
    std::vector<std::string> names;
    for (std::size_t position = 0; position < list.size(); ++position) {
        names.emplace_back(list.name(position));
    }
    return names;
}

struct ListCase {
    std::string content;
    std::vector<std::string> names;
};

TEST(TalmiroListReading, EveryNonEmptyLineIsAName) {
    const std::string long_name(5000, 'n');
    const std::vector<ListCase> cases = {
        {"", {}},
        {"\n", {}},
        {"\r\n\r\n", {}},
        {"a\nb", {"a", "b"}},
        {"a\nb\n", {"a", "b"}},
        {"a\n\nb\n\n", {"a", "b"}},
        {"a\r\nb\r\n", {"a", "b"}},
        {"a\r\r\n", {"a\r"}},
        {" a b \n\tc", {" a b ", "\tc"}},
        {"abcdefghijklm\nnext\n", {"abcdefghijklm", "next"}},
        {long_name + "\nx", {long_name, "x"}},
        {"a\nb\na\n", {"a", "b", "a"}},
    };
    ScratchDir dir;
    for (const ListCase& c : cases) {
        for (const BufferSetup& setup : testing_support::buffer_setups()) {
            io::LineReader reader = open_reader(dir, c.content, setup);
            const text::NameList list = io::read_name_lines(reader);
            EXPECT_EQ(names_of(list), c.names)
                << "list " << testing::PrintToString(c.content) << ", " << testing_support::describe(setup);
            EXPECT_EQ(list.count(), c.names.size());
        }
    }
}

text::NameList unassigned_list(const std::vector<std::string>& names) {
    text::NameList list;
    for (const std::string& name : names) {
        list.add(name);
    }
    return list;
}

text::NameList make_list(const std::vector<std::string>& names) {
    text::NameList list = unassigned_list(names);
    list.assign_slots();
    return list;
}

TEST(TalmiroNameMatcher, AgreesWithALinearScanOfTheList) {
    std::mt19937 random(99);
    for (int round = 0; round < 200; ++round) {
        std::vector<std::string> names;
        const std::size_t count = 1 + random() % 30;
        // Short names share prefixes often; long ones cross the 8-byte words the hash folds.
        const std::size_t longest = round % 2 == 0 ? 4 : 20;
        for (std::size_t index = 0; index < count; ++index) {
            std::string name = random_text(random, longest, "abAB");
            names.push_back(name.empty() ? "a" : name);
        }
        const text::NameList list = make_list(names);
        const talmiro::NameMatcher matcher(list);
        for (int header = 0; header < 200; ++header) {
            std::string text = random_text(random, longest + 3, "abAB ");
            if (header % 2 == 0) {
                text = names[random() % names.size()] + text;  // a listed name begins it
            }
            const std::int64_t expected = first_listed_prefix(names, text);
            const std::int64_t slot = matcher.first_match(text);
            ASSERT_EQ(slot < 0, expected < 0) << text;
            if (expected >= 0) {
                ASSERT_EQ(slot, list.slot(static_cast<std::size_t>(expected))) << text;
                ASSERT_EQ(list.first_position(static_cast<std::uint32_t>(slot)), static_cast<std::size_t>(expected));
            }
        }
    }
}

// A list crafted with a name of every length costs each header work bounded by its own length
// (words folded into the hash, groups looked at), not by the lengths of the list added up.
TEST(TalmiroNameMatcher, WorkPerHeaderIsBoundedByItsLength) {
    std::vector<std::string> names;
    for (std::size_t length = 1; length <= 2000; ++length) {
        names.push_back(std::string(length, 'n'));
    }
    const text::NameList list = make_list(names);
    talmiro::NameMatcher matcher(list);
    std::size_t work = 0;
    matcher.count_work(&work);
    for (const std::size_t length : {std::size_t{10}, std::size_t{700}, std::size_t{2500}}) {
        const std::string header(length, 'm');
        work = 0;
        EXPECT_EQ(matcher.first_match(header), -1);
        EXPECT_LE(work, length + length / 8 + 1) << length;
        work = 0;
        EXPECT_GE(matcher.first_match(std::string(length, 'n')), 0);
        EXPECT_LE(work, length + length / 8 + 1) << length;
    }
}

// A long list fills the per-length filters and tables: every listed name must still be found
// at its first place, and names that differ from a listed one in one byte must not be. The
// reference looks every prefix length up in a plain map of first places.
TEST(TalmiroNameMatcher, LongListsKeepEveryNameAndRefuseNearMisses) {
    std::vector<std::string> names;
    for (int index = 0; index < 60000; ++index) {
        names.push_back("AC" + std::to_string(100000 + index * 3) + (index % 7 == 0 ? "" : ".1"));
    }
    names.push_back(names[5]);  // a repeat keeps its first place
    std::unordered_map<std::string, std::size_t> first_place;
    for (std::size_t position = 0; position < names.size(); ++position) {
        first_place.try_emplace(names[position], position);
    }
    const auto reference = [&](const std::string& header) -> std::int64_t {
        std::int64_t best = -1;
        for (std::size_t length = 1; length <= header.size(); ++length) {
            const auto found = first_place.find(header.substr(0, length));
            if (found != first_place.end() && (best < 0 || found->second < static_cast<std::size_t>(best))) {
                best = static_cast<std::int64_t>(found->second);
            }
        }
        return best;
    };
    const text::NameList list = make_list(names);
    const talmiro::NameMatcher matcher(list);
    const auto slot_at = [&](std::int64_t position) -> std::int64_t {
        return position < 0 ? std::int64_t{-1} : std::int64_t{list.slot(static_cast<std::size_t>(position))};
    };
    for (std::size_t position = 0; position < names.size(); ++position) {
        const std::string header = names[position] + " description";
        ASSERT_EQ(matcher.first_match(header), slot_at(reference(header))) << header;
        std::string near_miss = names[position];
        near_miss[2 + position % (near_miss.size() - 2)] ^= 0x20;
        ASSERT_EQ(matcher.first_match(near_miss), slot_at(reference(near_miss))) << near_miss;
    }
}

TEST(TalmiroNameMatcher, ShadowingAndCase) {
    const text::NameList list = make_list({"a", "ab", "Seq1", "seq12"});
    const talmiro::NameMatcher matcher(list);
    EXPECT_EQ(matcher.first_match("ab"), 0);
    EXPECT_EQ(matcher.first_match("seq1"), -1);
    EXPECT_EQ(matcher.first_match("seq12 description"), 3);
    EXPECT_EQ(matcher.first_match("Seq10"), 2);
    EXPECT_EQ(matcher.first_match(""), -1);
}

}  // namespace
