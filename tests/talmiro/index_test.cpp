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

// Where base `base` of a record lies by its geometry (from the record's first byte), as a
// region will find it: by .fai arithmetic for alike lines, else through the runs.
std::uint64_t byte_of_base(const talmiro::LineGeometry& geometry, std::span<const talmiro::LineRun> runs,
                           std::uint64_t base) {
    if (geometry.run_count == 0) {
        return geometry.sequence_start + base / geometry.line_bases * geometry.line_width + base % geometry.line_bases;
    }
    // The last run holding bases that begins at or before the base.
    std::size_t run = 0;
    for (std::size_t next = 0; next < runs.size(); ++next) {
        if (runs[next].first_base <= base && runs[next].line_bases > 0) {
            run = next;
        }
    }
    const talmiro::LineRun& found = runs[run];
    const std::uint64_t into = base - found.first_base;
    return geometry.sequence_start + found.first_byte + into / found.line_bases * found.line_width +
           into % found.line_bases;
}

// A record's .fai line and line geometry are the same whether its bytes come in one piece,
// where lines as long as the first are taken a stretch at a time, or a byte at a time, where
// every line is looked at; and the geometry finds every base where it lies.
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
                // Now and then a byte samtools counts otherwise: then no .fai line.
                line += random() % 500 == 0 ? " \t\x01\x7f\xe9"[random() % 5] : "ACGT"[random() % 4];
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
            const talmiro::LineGeometry geometry = maker.geometry(99);
            std::string runs;
            for (const talmiro::LineRun& run : maker.runs()) {
                runs += std::to_string(run.first_base) + "/" + std::to_string(run.first_byte) + "/" +
                        std::to_string(run.line_bases) + "/" + std::to_string(run.line_width) + " ";
            }
            return std::to_string(static_cast<int>(result)) + ":" + line + std::to_string(geometry.bases) + " " +
                   std::to_string(geometry.sequence_start) + " " + std::to_string(geometry.line_bases) + " " +
                   std::to_string(geometry.line_width) + " " + runs;
        };
        ASSERT_EQ(line_of(bytes.size()), line_of(1)) << bytes;
        ASSERT_EQ(line_of(7), line_of(1)) << bytes;
        talmiro::FaiLineMaker maker;
        maker.begin(talmiro::RecordFormat::fasta, 100);
        maker.add(bytes);
        std::string ignored;
        maker.finish("name", ignored);
        const talmiro::LineGeometry geometry = maker.geometry(99);
        const std::string text = ">" + bytes;
        std::uint64_t base = 0;
        for (std::size_t at = text.find('\n') + 1; at < text.size(); ++at) {
            if (text[at] != '\n' && text[at] != '\r') {
                ASSERT_EQ(byte_of_base(geometry, maker.runs(), base), at) << bytes << base;
                ++base;
            }
        }
        ASSERT_EQ(base, geometry.bases);
    }
}

// The name table's sort (a radix pass over the 8 bytes after the shared beginning, whole names
// only where those agree) puts entries where a plain sort by name and place does, and its
// lookups find what a walk over every entry finds; written out in order, the same entries.
TEST(TalmiroNameTable, LookupsAgreeWithAWalkOverEveryEntry) {
    std::mt19937 random(23);
    // Past the random tables, names of the shapes the radix sort treats apart: one name over and
    // over (every key alike), a few keys shared by thousands of names (ties ordered by whole
    // names), and buckets whose keys all share their next bytes (passed over byte by byte).
    const auto shaped = [&random](int shape) {
        const char letter = "abcd"[random() % 4];
        switch (shape) {
        case 0:
            return std::string("same");
        case 1:
            return std::string(1, letter) + "1234567" + std::to_string(random() % 100000);
        default:
            return std::string(1, letter) + std::string(6, letter) + std::to_string(random() % 10) +
                   std::string(random() % 3, 'z');
        }
    };
    for (int table_number = 0; table_number < 23; ++table_number) {
        const std::string shared = table_number % 2 == 0 ? "SRR1234567." : "";
        std::vector<std::string> names;
        talmiro::RecordTableBuilder builder;
        // Tables large enough that the radix sort's buckets are sorted by bucket again.
        const std::uint64_t count = table_number < 2 || table_number >= 20 ? 20000 : 1 + random() % 600;
        for (std::uint64_t entry = 0; entry < count; ++entry) {
            std::string name = table_number >= 20 ? shaped(table_number - 20)
                                                  : shared + std::to_string(random() % (count < 600 ? 300 : 100000));
            if (table_number < 20 && random() % 7 == 0) {
                name += std::string(1 + random() % 12, "AZ\x01\xff"[random() % 4]);
            }
            names.push_back(name);
            builder.add(name, entry * 10);
        }
        std::vector<std::pair<std::string, std::uint64_t>> expected;
        for (std::size_t entry = 0; entry < names.size(); ++entry) {
            expected.emplace_back(names[entry], entry * 10);
        }
        std::sort(expected.begin(), expected.end());
        std::vector<std::uint64_t> written;
        builder.in_order([&](std::span<const talmiro::SortedRecord> sorted) {
            for (const talmiro::SortedRecord& record : sorted) {
                written.push_back(record.record);
            }
        });
        builder.sort();
        const talmiro::RecordTable table = builder.view(names.size() * 10);
        ASSERT_EQ(written.size(), expected.size());
        for (std::size_t at = 0; at < expected.size(); ++at) {
            const talmiro::LocatedRecord record = table.at(at);
            ASSERT_EQ(table.name_of(record.number), expected[at].first);
            ASSERT_EQ(record.offset, expected[at].second);
            ASSERT_EQ(record.length, 10U);
            ASSERT_EQ(written[at] * 10, expected[at].second);
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
            const auto [first, last] = table.named(wanted);
            EXPECT_EQ(last - first, named) << wanted;
            const auto [from, to] = table.beginning_with(wanted);
            EXPECT_EQ(to - from, beginning) << wanted;
            for (std::size_t position = from; position < to; ++position) {
                EXPECT_TRUE(table.name_of(table.at(position).number).starts_with(wanted));
            }
        }
    }
}

}  // namespace
