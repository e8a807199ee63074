// The index engine: the one codec every index file is written and read with, the header that
// ties an index to its file, and the reasons an index is passed over.
#include "index/byte_codec.hpp"
#include "index/checksum.hpp"
#include "index/identity.hpp"
#include "index/index_file.hpp"
#include "index/index_header.hpp"
#include "index/indexable.hpp"
#include "index/trust.hpp"
#include "io/temp_files.hpp"
#include "support/session.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

TEST(ByteCodec, ReadsBackWhatItWroteLittleEndian) {
    std::string bytes;
    indexing::ByteWriter writer(bytes);
    writer.put(std::uint32_t{0x01020304});
    writer.put(std::int64_t{-2});
    writer.put(std::int32_t{-1});
    writer.put_text("ab");
    EXPECT_EQ(bytes.substr(0, 4), std::string("\x04\x03\x02\x01", 4));
    indexing::ByteReader reader(bytes);
    EXPECT_EQ(reader.take<std::uint32_t>(), 0x01020304U);
    EXPECT_EQ(reader.take<std::int64_t>(), -2);
    EXPECT_EQ(reader.take<std::int32_t>(), -1);
    EXPECT_EQ(reader.take_text(), "ab");
    EXPECT_TRUE(reader.good());
    EXPECT_TRUE(reader.at_end());
}

// Damage shows once, at the end: after the first short read every later one fails too, even
// one that would fit in what is left.
TEST(ByteCodec, AShortReadFailsEveryLaterOne) {
    std::string bytes;
    indexing::ByteWriter writer(bytes);
    writer.put(std::uint32_t{1000});  // a text said to be 1000 bytes long
    writer.put(std::uint16_t{7});
    indexing::ByteReader reader(bytes);
    EXPECT_EQ(reader.take_text(), "");
    EXPECT_FALSE(reader.good());
    EXPECT_EQ(reader.take<std::uint8_t>(), 0);
    EXPECT_FALSE(reader.good());
}

constexpr indexing::IndexKind kind{"TESTIDX\n", 3, "tester", 8};

indexing::IndexHeader sample_header(std::uint64_t body_size) {
    indexing::IndexHeader header;
    header.flags = 5;
    header.stamp = {42, 1700000000, 123, 1700000001, 456, 77};
    header.content = 0x1234;
    header.body_size = body_size;
    header.facts = "facts..";
    return header;
}

TEST(IndexHeader, TellsAnotherProgramsIndexAndAnotherVersionFromDamage) {
    const std::string whole = indexing::header_bytes(kind, sample_header(9));
    ASSERT_EQ(whole.size(), indexing::header_size(kind));
    std::string other_version = whole;
    other_version[8] = 2;
    std::string flipped = whole;
    flipped[20] ^= 0x10;
    struct Case {
        std::string bytes;
        indexing::HeaderFault fault;
        std::string why_not;  // empty: read
    };
    const std::vector<Case> cases = {
        {whole, {}, ""},
        {"ORVANOIX" + whole.substr(8), indexing::HeaderFault::foreign, "it is no tester index"},
        {other_version, indexing::HeaderFault::version,
         "it was made by an older tester (its version 2, this one reads 3)"},
        {whole.substr(0, 5), indexing::HeaderFault::foreign, "it is no tester index"},
        {whole.substr(0, whole.size() - 1), indexing::HeaderFault::damaged, "it is damaged (its header)"},
        {flipped, indexing::HeaderFault::damaged, "it is damaged (its header)"},
    };
    for (const Case& test : cases) {
        indexing::HeaderFault fault{};
        std::string why_not;
        const auto header = indexing::read_header(test.bytes, kind, fault, why_not);
        EXPECT_EQ(why_not, test.why_not) << test.bytes.size();
        ASSERT_EQ(header.has_value(), test.why_not.empty());
        if (header) {
            EXPECT_EQ(header->stamp, sample_header(9).stamp);
            EXPECT_EQ(header->facts, std::string("facts..\0", 8));
        } else {
            EXPECT_EQ(fault, test.fault);
        }
    }
}

// An index file of 3 blocks and a bit: every kind of damage to any part of it is found, by
// the open or by the check of the block it lies in, and nothing else is.
TEST(IndexFile, FindsDamageWhereverItLies) {
    testing_support::ScratchDir dir;
    std::string body;
    for (int index = 0; body.size() < 3 * indexing::checked_block_size + 100; ++index) {
        body += std::to_string(index) + ",";
    }
    const std::string path = (dir / "t.idx").string();
    {
        io::TempFiles temps;
        std::optional<io::OutputFile> output = io::OutputFile::replace_regular(path, temps);
        indexing::IndexWriter writer(*output, kind, sample_header(body.size()));
        writer.write(body.substr(0, 10));
        writer.write(body.substr(10));
        writer.finish();
        ASSERT_TRUE(output->close());
    }
    const std::string good = dir.read("t.idx");
    const std::size_t body_at = indexing::header_size(kind);
    const auto opens_and_checks = [&](const std::string& bytes) -> std::string {
        dir.write("t.idx", bytes);
        try {
            const indexing::IndexFile file = indexing::IndexFile::open(path, kind);
            file.check_all();
            EXPECT_EQ(file.body(), body);
            return "";
        } catch (const indexing::Untrusted& untrusted) {
            return untrusted.why;
        }
    };
    EXPECT_EQ(opens_and_checks(good), "");
    const std::string damaged = "'" + path + "' cannot be used: it is damaged";
    for (const std::size_t at :
         {std::size_t{30}, body_at + 5, body_at + 4096 + 17, body_at + body.size() + 3, good.size() - 1}) {
        std::string bytes = good;
        bytes[at] ^= 0x01;
        EXPECT_EQ(opens_and_checks(bytes).substr(0, damaged.size()), damaged) << at;
    }
    EXPECT_EQ(opens_and_checks(good.substr(0, good.size() - 8)).substr(0, damaged.size()), damaged);
    EXPECT_EQ(opens_and_checks(good + "x").substr(0, damaged.size()), damaged);
    // A block is checked when first read, and only the blocks read are.
    std::string late = good;
    late[body_at + 3 * 4096 + 1] ^= 0x01;
    dir.write("t.idx", late);
    const indexing::IndexFile file = indexing::IndexFile::open(path, kind);
    EXPECT_NO_THROW(file.check(0, 3 * 4096));
    EXPECT_THROW(file.check(3 * 4096 - 1, 2), indexing::Untrusted);
    EXPECT_THROW(file.check(body.size(), 1), indexing::Untrusted);
}

// What a run makes of a stamp that differs: the size alone condemns; any other difference, or
// a stamp too recent to be sure of, sends it to the content, which decides, and a proved index
// gets the new stamp for the runs after.
TEST(Identity, TheContentDecidesWhereTheStampCannot) {
    testing_support::ScratchDir dir;
    dir.write("f", "ACGT\n");
    const std::string path = (dir / "f").string();
    const io::FileStamp stamp = *io::stamp_of(path);
    const auto later = [] { return std::chrono::system_clock::now() + std::chrono::hours(1); };
    std::vector<std::string> notes;
    const indexing::Reporting reporting{{}, [&](std::string_view note) { notes.emplace_back(note); }, later};
    const auto sum_of = [&](const std::string& content) {
        dir.write("content", content);
        const io::InputFile file = *io::InputFile::open((dir / "content").string());
        std::optional<io::IoError> error;
        return *indexing::checksum_file(file.descriptor(), "content", content.size(), error);
    };
    const auto index_for = [&](io::FileStamp indexed, const std::string& content, bool check) {
        indexing::IndexHeader header = sample_header(0);
        header.stamp = indexed;
        header.content = sum_of(content);
        header.check_content = check;
        dir.write("f.idx", indexing::header_bytes(kind, header));
        return indexing::IndexFile::open((dir / "f.idx").string(), kind);
    };
    std::optional<io::IoError> error;
    const io::InputFile file = *io::InputFile::open(path, &error);
    io::FileStamp moved = stamp;
    moved.seconds -= 100;
    io::FileStamp longer = stamp;
    longer.size += 1;
    struct Case {
        io::FileStamp indexed;
        std::string content;
        bool check;
        bool trusted;
        std::size_t notes;
    };
    const std::vector<Case> cases = {
        {stamp, "ACGT\n", false, true, 0},  // the stamp decides alone
        {stamp, "ACGA\n", false, true, 0},  // ... even against the content: the stamp is trusted
        {stamp, "ACGA\n", true, false, 0},  // too recent to be sure of: the content decides
        {moved, "ACGT\n", false, true, 1},  // copied with its times: proved, brought up to date
        {moved, "ACGA\n", false, false, 0}, {longer, "ACGT\n", false, false, 0},
    };
    for (const Case& test : cases) {
        notes.clear();
        const indexing::IndexFile index = index_for(test.indexed, test.content, test.check);
        bool trusted = true;
        try {
            indexing::confirm_identity(index, file, stamp, reporting);
        } catch (const indexing::Untrusted&) {
            trusted = false;
        }
        EXPECT_EQ(trusted, test.trusted) << test.content << test.check;
        EXPECT_EQ(notes.size(), test.notes);
        if (test.notes > 0) {
            // The header now holds the file's own stamp, and the next run trusts it at once.
            const indexing::IndexFile again = indexing::IndexFile::open((dir / "f.idx").string(), kind);
            EXPECT_EQ(again.header().stamp, stamp);
            EXPECT_FALSE(again.header().check_content);
        }
    }
    EXPECT_TRUE(indexing::racy(stamp, std::chrono::system_clock::now()));
    EXPECT_FALSE(indexing::racy(stamp, later()));
}

TEST(Trust, AnUntrustedIndexIsSaidOnceAndTheFileReadWhole) {
    EXPECT_EQ(indexing::reading_whole(indexing::made_for_another_version("m.txt.oix", "m.txt")),
              "'m.txt.oix' was made for another version of 'm.txt': reading it whole");
    EXPECT_EQ(indexing::does_not_match("a.tix", "a", "no record there").why,
              "'a.tix' does not match 'a' (no record there)");
}

TEST(Indexable, OnlyARegularFileInAStorageTheProgramReadsFromTheMiddle) {
    testing_support::ScratchDir dir;
    dir.write("plain", ">a\nAC\n");
    const auto everything = [](io::Storage) { return std::optional<std::string>(); };
    const auto nothing = [](io::Storage) { return std::optional<std::string>("not here"); };
    indexing::Refusal refusal;
    EXPECT_TRUE(indexing::open_to_index((dir / "plain").string(), everything, refusal));
    for (const std::string stream : {"-", "/dev/stdin", "/dev/fd/0", "/proc/self/fd/3"}) {
        EXPECT_FALSE(indexing::open_to_index(stream, everything, refusal)) << stream;
        EXPECT_EQ(refusal.kind, indexing::Refusal::Kind::misuse) << stream;
    }
    EXPECT_FALSE(indexing::open_to_index("/dev/null", everything, refusal));
    EXPECT_EQ(refusal.kind, indexing::Refusal::Kind::cannot_index);
    EXPECT_FALSE(indexing::open_to_index((dir / "plain").string(), nothing, refusal));
    EXPECT_EQ(refusal.kind, indexing::Refusal::Kind::cannot_index);
    EXPECT_NE(refusal.message.find("not here"), std::string::npos);
    EXPECT_FALSE(indexing::open_to_index((dir / "absent").string(), everything, refusal));
    EXPECT_EQ(refusal.kind, indexing::Refusal::Kind::cannot_open);
}

}  // namespace
