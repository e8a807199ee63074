// The index room: .fai lines and the name table's sort and lookups against simple references.
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
using testing_support::reference_is_fastq;
using testing_support::reference_records;
using testing_support::ScratchDir;

using testing_support::BufferSetup;

// A record's .fai line is the same whether its bytes come in one piece, where lines as long as
// the first are taken a stretch at a time, or a byte at a time, where every line is looked at.
TEST(TalmiroFaiLines, StretchesOfWholeLinesMatchLineByLine) {
    std::mt19937 random(19);
    for (int record = 0; record < 2000; ++record) {
        const std::size_t width = 1 + random() % 12;
        const std::size_t length = random() % 80;
        const std::string end = random() % 4 == 0 ? "\r\n" : "\n";
        std::string bytes = "name desc" + end;
        for (std::size_t at = 0; at < length;) {
            // Now and then a line of another length, a stray carriage return or a blank line.
            const std::size_t take = random() % 9 == 0 ? 1 + random() % (width + 2) : width;
            std::string line;
            for (std::size_t base = 0; base < take && at + base < length; ++base) {
                line += "ACGT"[random() % 4];
            }
            at += take;
            bytes += line + (random() % 40 == 0 ? "\r\n" : random() % 60 == 0 ? end + end : end);
        }
        const auto line_of = [&](std::size_t piece_size) {
            talmiro::FaiLineMaker maker;
            maker.begin(talmiro::RecordFormat::fasta, 100);
            for (std::size_t at = 0; at < bytes.size(); at += piece_size) {
                maker.add(std::string_view(bytes).substr(at, piece_size));
            }
            std::string line;
            const auto result = maker.finish("name", line);
            return std::to_string(static_cast<int>(result)) + ":" + line;
        };
        ASSERT_EQ(line_of(bytes.size()), line_of(1)) << bytes;
        ASSERT_EQ(line_of(7), line_of(1)) << bytes;
    }
}

// The name table's sort (a radix pass over the 8 bytes after the shared beginning, whole names
// only where those agree) puts entries where a plain sort by name and place does, and its
// lookups find what a walk over every entry finds; written out in order, the same entries.
TEST(TalmiroNameTable, LookupsAgreeWithAWalkOverEveryEntry) {
    std::mt19937 random(23);
    for (int table_number = 0; table_number < 20; ++table_number) {
        const std::string shared = table_number % 2 == 0 ? "SRR1234567." : "";
        std::vector<std::string> names;
        talmiro::RecordTableBuilder builder;
        for (std::uint64_t entry = 0, count = 1 + random() % 600; entry < count; ++entry) {
            std::string name = shared + std::to_string(random() % 300);
            if (random() % 7 == 0) {
                name += std::string(1 + random() % 12, "AZ\x01\xff"[random() % 4]);
            }
            names.push_back(name);
            builder.add(name, entry * 10, 10);
        }
        std::vector<std::pair<std::string, std::uint64_t>> expected;
        for (std::size_t entry = 0; entry < names.size(); ++entry) {
            expected.emplace_back(names[entry], entry * 10);
        }
        std::sort(expected.begin(), expected.end());
        std::vector<talmiro::IndexEntry> written;
        builder.in_order([&](std::span<const talmiro::IndexEntry> entries) {
            written.insert(written.end(), entries.begin(), entries.end());
        });
        builder.sort();
        const talmiro::RecordTable table = builder.view();
        ASSERT_EQ(written.size(), expected.size());
        for (std::size_t at = 0; at < expected.size(); ++at) {
            ASSERT_EQ(table.name_of(builder.entries()[at]), expected[at].first);
            ASSERT_EQ(builder.entries()[at].offset, expected[at].second);
            ASSERT_EQ(written[at].offset, expected[at].second);
        }
        for (int probe = 0; probe < 50; ++probe) {
            const std::string& some = names[random() % names.size()];
            const std::string wanted = some.substr(0, random() % (some.size() + 1));
            std::size_t named = 0;
            std::size_t beginning = 0;
            for (const auto& [name, offset] : expected) {
                named += name == wanted ? 1 : 0;
                beginning += name.starts_with(wanted) ? 1 : 0;
            }
            EXPECT_EQ(table.named(wanted).size(), named) << wanted;
            EXPECT_EQ(table.beginning_with(wanted).size(), beginning) << wanted;
            for (const talmiro::IndexEntry& entry : table.beginning_with(wanted)) {
                EXPECT_TRUE(table.name_of(entry).starts_with(wanted));
            }
        }
    }
}

}  // namespace
