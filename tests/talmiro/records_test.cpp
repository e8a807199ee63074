// The records room against a reference reader: records split at every buffer edge, mapped or
// copied, and written as read.
#include "io/name_lines.hpp"
#include "support/reference.hpp"
#include "support/session.hpp"
#include "support/talmiro_reading.hpp"
#include "talmiro/index/fai_format.hpp"
#include "talmiro/index/record_table.hpp"
#include "talmiro/match/name_matcher.hpp"
#include "talmiro/records/halved_reading.hpp"
#include "talmiro/records/mate_check.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <span>
#include <sstream>
#include <string>
#include <thread>
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
// go out at once (the kernel copying the long ones), from a copied window piece by piece, or
// kept as stretches of the file and written at the end; all give the same bytes.
TEST(TalmiroRecordWriting, MappedStretchesMatchPieceByPiece) {
    std::mt19937 random(23);
    ScratchDir dir;
    const std::vector<std::string> names = {"a", "b", "ab", "c d"};
    for (int round = 0; round < 300; ++round) {
        const bool large = round % 30 == 0;
        std::string content = round % 2 == 0 ? random_fasta(random, large) : random_fastq(random, large);
        const bool megabytes = round % 200 == 0;
        if (megabytes) {
            // Stretches of megabytes: copied by the kernel.
            content = ">a\n" + std::string(3 << 19, 'A') + "\n>b\nC\n>c\n" + std::string(1 << 20, 'G');
        }
        dir.write("input", content);
        for (const bool exclude : {false, true}) {
            std::vector<std::string> written;
            for (const BufferSetup& setup : testing_support::buffer_setups()) {
                if (megabytes && setup.size < 64) {
                    continue;  // a few bytes at a time, megabytes take minutes
                }
                for (const bool deferred : {false, true}) {
                    written.push_back(testing_support::stream_as_talmiro(
                        io::ReadBuffer(*io::InputFile::open((dir / "input").string()), setup.size, setup.access), names,
                        exclude, (dir / "out").string(), deferred));
                    ASSERT_EQ(written.back(), written.front())
                        << testing::PrintToString(content.substr(0, 2000)) << ", " << testing_support::describe(setup)
                        << (exclude ? ", excluding" : "") << (deferred ? ", deferred" : "");
                }
            }
        }
    }
}

// Four-line records, as nearly every FASTQ file has them, with quality lines beginning with '@'
// or '+', now and then a wrapped record, and now and then a fault: a short quality, a byte no
// reader takes.
std::string four_line_fastq(std::mt19937& random, int records) {
    std::string content;
    for (int record = 0; record < records; ++record) {
        std::string sequence = "A" + random_text(random, 40, "ACGT");
        std::string quality(sequence.size(), 'I');
        for (char& c : quality) {
            c = "@I#+"[random() % 4];
        }
        const unsigned fault = random() % 400;
        if (fault == 0) {
            quality.pop_back();
        } else if (fault == 1) {
            sequence[0] = '\x01';
        }
        // Wrapped in three, a quality of "@..", "I..", "+.." reads as a header, a sequence and a
        // '+' line: the split's guess falls inside the record.
        const std::size_t third = random() % 8 == 0 ? sequence.size() / 3 : 0;
        if (third > 0 && fault > 1) {
            quality[0] = '@';
            quality[third] = 'I';
            quality[2 * third] = '+';
        }
        const auto lines = [third](const std::string& text) {
            return third == 0
                       ? text
                       : text.substr(0, third) + "\n" + text.substr(third, third) + "\n" + text.substr(2 * third);
        };
        content += "@" + random_text(random, 3, "abc") + " x\n" + lines(sequence) + "\n+\n" + lines(quality) + "\n";
    }
    return content;
}

// What one reading of an input gave: the records each listed position takes, as written, the
// stream of every record handed on, the counts and the verdict.
struct HalvesOutcome {
    std::vector<std::string> texts;
    std::string stream;
    std::vector<std::uint64_t> taken;
    std::uint64_t records = 0;
    std::uint64_t handed = 0;
    std::string fault;
};

struct Splits {
    int guessed = 0;
    int proven = 0;
};

HalvesOutcome read_records(const std::string& path, const talmiro::NameTable& table, bool exclude, bool in_halves,
                           Splits& splits) {
    auto records = talmiro::scan_records(io::ReadBuffer(*io::InputFile::open(path)));
    const talmiro::NameSelector selector(table, talmiro::Matching::word);
    auto later = in_halves ? talmiro::later_half_of(*records, threads::Cores::two, 0) : nullptr;
    splits.guessed += later ? 1 : 0;
    HalvesOutcome got;
    got.taken.assign(table.slot_count(), 0);
    talmiro::TakenRecords places(records->input(), records->format(), table.slot_count(), talmiro::temporary_folder(),
                                 1000);
    if (later) {
        auto later_places = std::make_unique<talmiro::TakenRecords>(later->input(), later->format(), table.slot_count(),
                                                                    talmiro::temporary_folder(), 1000);
        bool counts = false;
        got.handed = talmiro::read_halves(*records, *later, selector, exclude, places, *later_places, got.taken,
                                          io::Progress(), table.size(), counts);
        splits.proven += counts ? 1 : 0;
        if (counts) {
            places.follow_with(std::move(later_places));
        }
    } else {
        got.handed =
            talmiro::read_records(*records, selector, exclude, places, got.taken, io::Progress(), table.size());
    }
    later.reset();
    got.records = records->records();
    got.fault = records->malformed() ? records->malformed()->describe() : "";
    static_cast<void>(places.write_as_taken([&](std::string_view piece) { got.stream += piece; }));
    if (!exclude) {
        places.arrange();
        for (std::size_t position = 0; position < table.size(); ++position) {
            std::string& text = got.texts.emplace_back();
            static_cast<void>(places.write(table.slot(position), [&](std::string_view piece) { text += piece; }));
        }
    }
    return got;
}

// Two halves of a FASTQ or FASTA file read at once give what one pass gives: the same records for every name, in the
// same order, the same counts, and the same first fault at the same line, wherever the split
// falls (a guess inside a record, or past a fault, counts for nothing).
TEST(TalmiroRecordReading, HalvesReadAsOnePass) {
    std::mt19937 random(31);
    ScratchDir dir;
    Splits splits;
    for (int round = 0; round < 180; ++round) {
        // FASTA too, a '>' inside a line and text before the first record among its ways.
        const bool fasta = round >= 120;
        dir.write("input",
                  fasta ? random_fasta(random, true) : four_line_fastq(random, 1 + static_cast<int>(random() % 300)));
        text::NameList list;
        for (const char* const name : {"a", "ab", "abc", "b", "cab", "ccc", "a"}) {
            list.add(name);
        }
        const talmiro::NameTable table(std::move(list), false);
        for (const bool exclude : {false, true}) {
            Splits ignored;
            const HalvesOutcome one = read_records((dir / "input").string(), table, exclude, false, ignored);
            const HalvesOutcome two = read_records((dir / "input").string(), table, exclude, true, splits);
            const std::string context = testing::PrintToString(dir.read("input")) + (exclude ? ", excluding" : "");
            ASSERT_EQ(two.fault, one.fault) << context;
            ASSERT_EQ(two.records, one.records) << context;
            ASSERT_EQ(two.handed, one.handed) << context;
            ASSERT_EQ(two.taken, one.taken) << context;
            ASSERT_EQ(two.stream, one.stream) << context;
            ASSERT_EQ(two.texts, one.texts) << context;
        }
    }
    // Most rounds were read in two halves indeed, and some FASTQ guesses were proven wrong.
    EXPECT_GT(splits.proven, 150);
    EXPECT_GT(splits.guessed - splits.proven, 5);
}

}  // namespace

namespace {

// Paired inputs held to be mates, record for record, across stretches and threads: the verdict
// is the same read one after the other or side by side, and names both records where they part.
TEST(TalmiroMates, PairsOutOfStepAreFoundWhereverTheyPart) {
    const auto names = [](std::size_t count, const std::string& suffix) {
        std::vector<std::string> words;
        for (std::size_t record = 0; record < count; ++record) {
            words.push_back("SRR1." + std::to_string(record) + suffix);
        }
        return words;
    };
    struct Case {
        std::string name;
        std::vector<std::string> first;
        std::vector<std::string> second;
        std::string fault;  // empty: in step
    };
    std::vector<std::string> dropped = names(9000, "/2");
    dropped.erase(dropped.begin() + 5000);
    std::vector<std::string> renamed = names(3, "");
    renamed[1] = "other";
    const std::vector<Case> cases = {
        {"mates named /1 and /2", names(9000, "/1"), names(9000, "/2"), ""},
        {"mates named alike", names(10, ""), names(10, ""), ""},
        {"an archive's .1 and .2", names(10, ".1"), names(10, ".2"), ""},
        {"an archive's _1 and _2", names(10, "_1"), names(10, "_2"), ""},
        {"one read gone from the second, far in", names(9000, "/1"), dropped,
         "record 5001 is 'SRR1.5000/1' in 'R1' but 'SRR1.5001/2' in 'R2': the inputs are not read pairs in step "
         "(--no-mate-check reads them as they are)"},
        {"a name of its own", names(3, ""), renamed,
         "record 2 is 'SRR1.1' in 'R1' but 'other' in 'R2': the inputs are not read pairs in step (--no-mate-check "
         "reads them as they are)"},
        {"the second ends first", names(4097, ""), names(4096, ""),
         "'R2' ends at record 4096 where 'R1' goes on: the inputs are not read pairs in step"},
        {"the first ends first", names(2, ""), names(3, ""),
         "'R1' ends at record 2 where 'R2' goes on: the inputs are not read pairs in step"},
        {".1 and .2 are no mates where the first records do not say so",
         {"a.1", "b.1"},
         {"a", "b.2"},
         "record 1 is 'a.1' in 'R1' but 'a' in 'R2': the inputs are not read pairs in step (--no-mate-check reads "
         "them as they are)"},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.name);
        for (const bool parallel : {false, true}) {
            talmiro::MateCheck mates({"R1", "R2"});
            const auto feed = [&](std::size_t nth, const std::vector<std::string>& words) {
                for (const std::string& word : words) {
                    if (!mates.add(nth, word)) {
                        break;
                    }
                }
                mates.finish(nth);
            };
            if (parallel) {
                mates.read_in_parallel();
                std::thread second([&] { feed(1, test.second); });
                feed(0, test.first);
                second.join();
            } else {
                feed(0, test.first);
                feed(1, test.second);
            }
            EXPECT_EQ(mates.fault().value_or(""), test.fault);
        }
    }
}

}  // namespace
