// The records room against a reference reader: records split at every buffer edge, mapped or
// copied, and written as read.
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

}  // namespace
