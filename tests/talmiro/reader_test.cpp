// talmiro's fast paths against straightforward references: list reading, record reading with
// records split at every buffer edge, the name matcher against a linear scan of the list.
#include "io/name_lines.hpp"
#include "talmiro/index/fai_format.hpp"
#include "talmiro/index/name_table.hpp"
#include "talmiro/match/name_matcher.hpp"
#include "support/reference.hpp"
#include "support/session.hpp"
#include "support/talmiro_reading.hpp"

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
            EXPECT_EQ(names_of(list), c.names) << "list " << testing::PrintToString(c.content) << ", "
                                               << testing_support::describe(setup);
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

std::string random_text(std::mt19937& random, std::size_t max_length, std::string_view alphabet) {
    std::string text(random() % (max_length + 1), ' ');
    for (char& c : text) {
        c = alphabet[random() % alphabet.size()];
    }
    return text;
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

// FASTA with whatever may come before the first record, carriage returns, records without a
// final line break and '>' inside lines.
std::string random_fasta(std::mt19937& random, bool large) {
    std::string content = random() % 10 == 0 ? "\xEF\xBB\xBF" : "";
    const int records = large ? 400 : static_cast<int>(random() % 6);
    if (random() % 4 == 0) {
        content += random_text(random, 3, "x >\n");  // whatever precedes the first record
    }
    for (int record = 0; record < records; ++record) {
        content += ">" + random_text(random, 6, "abc d\r") + (random() % 8 == 0 ? "" : "\n");
        content += random_text(random, large ? 400 : 30, "ACGT\n\r");
    }
    return content;
}

// FASTQ of four-line and wrapped records, quality lines beginning with '@', blank lines, carriage
// returns, and now and then a fault.
std::string random_fastq(std::mt19937& random, bool large) {
    std::string content;
    const int records = large ? 300 : static_cast<int>(random() % 6);
    for (int record = 0; record < records; ++record) {
        const std::string line_end = random() % 6 == 0 ? "\r\n" : "\n";
        const std::string sequence = random_text(random, large ? 300 : 12, "ACGT");
        std::string quality(sequence.size(), 'I');
        for (char& c : quality) {
            c = "@I#+"[random() % 4];
        }
        const auto wrapped = [&](const std::string& text) {
            const std::size_t width = 1 + random() % 8;
            std::string lines;
            for (std::size_t at = 0; at < text.size() || at == 0; at += width) {
                lines += text.substr(at, width) + line_end;
            }
            return lines;
        };
        content += (random() % 8 == 0 ? "\n" : "") + std::string("@") + random_text(random, 5, "abc d/1") + line_end +
                   wrapped(sequence) + "+" + (random() % 3 == 0 ? "again" : "") + line_end + wrapped(quality);
        if (random() % 30 == 0) {
            content += random_text(random, 3, "@+AI\n");  // a fault, now and then
        }
    }
    if (!content.empty() && random() % 5 == 0) {
        content.pop_back();  // no final line break, or a cut record
    }
    return content;
}

std::string joined(const std::vector<std::string>& records) {
    std::string text;
    for (const std::string& record : records) {
        text += record;
    }
    return text;
}

// Records split at every buffer edge, mapped or copied (a copied stream's records through the
// temporary file): every position receives what the reference gives it, byte for byte.
TEST(TalmiroRecordReading, MatchesTheReferenceAtEveryBufferSize) {
    std::mt19937 random(2026);
    ScratchDir dir;
    for (int round = 0; round < 300; ++round) {
        // Now and then a file of many pages, so mapped windows split records too.
        const std::string content = random_fasta(random, round % 25 == 0);
        const std::vector<std::string> names = {"a", "b", "ab", "c d", "a"};
        const auto expected = reference_records(content, names);
        for (const BufferSetup& setup : testing_support::buffer_setups()) {
            dir.write("input", content);
            const testing_support::TalmiroReading got = testing_support::read_as_talmiro(
                io::ReadBuffer(*io::InputFile::open((dir / "input").string()), setup.size, setup.access), names);
            for (std::size_t position = 0; position < names.size(); ++position) {
                ASSERT_EQ(got.texts[position], joined(expected[position]))
                    << testing::PrintToString(content) << ", " << testing_support::describe(setup) << ", name "
                    << names[position];
            }
        }
    }
}

// FASTQ: the same records as the reference, and the same verdict on malformed ones.
TEST(TalmiroRecordReading, FastqMatchesTheReferenceAtEveryBufferSize) {
    std::mt19937 random(17);
    ScratchDir dir;
    for (int round = 0; round < 400; ++round) {
        const std::string content = random_fastq(random, round % 40 == 0);
        const std::vector<std::string> names = {"a", "b", "ab", "c d", "a"};
        if (!reference_is_fastq(content)) {
            continue;
        }
        const testing_support::FastqReference expected = testing_support::reference_fastq_records(content, names);
        for (const BufferSetup& setup : testing_support::buffer_setups()) {
            dir.write("input", content);
            const testing_support::TalmiroReading got = testing_support::read_as_talmiro(
                io::ReadBuffer(*io::InputFile::open((dir / "input").string()), setup.size, setup.access), names);
            ASSERT_EQ(got.malformed, expected.malformed) << testing::PrintToString(content);
            ASSERT_EQ(got.texts, expected.texts)
                << testing::PrintToString(content) << ", " << testing_support::describe(setup);
        }
    }
}

// Written as read (file order, or excluding): from a mapped file whole stretches of the mapping
// go out at once, from a copied window piece by piece; both give the same bytes.
TEST(TalmiroRecordWriting, MappedStretchesMatchPieceByPiece) {
    std::mt19937 random(23);
    ScratchDir dir;
    const std::vector<std::string> names = {"a", "b", "ab", "c d"};
    for (int round = 0; round < 300; ++round) {
        const bool large = round % 30 == 0;
        dir.write("input", round % 2 == 0 ? random_fasta(random, large) : random_fastq(random, large));
        for (const bool exclude : {false, true}) {
            std::vector<std::string> written;
            for (const BufferSetup& setup : testing_support::buffer_setups()) {
                written.push_back(testing_support::stream_as_talmiro(
                    io::ReadBuffer(*io::InputFile::open((dir / "input").string()), setup.size, setup.access), names,
                    exclude, (dir / "out").string()));
                ASSERT_EQ(written.back(), written.front())
                    << testing::PrintToString(dir.read("input")) << ", " << testing_support::describe(setup)
                    << (exclude ? ", excluding" : "");
            }
        }
    }
}


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
        talmiro::NameTableBuilder builder;
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
        const talmiro::NameTableView table = builder.view();
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
