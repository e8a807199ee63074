// The index engine: the one codec every index file is written and read with, the header that
// ties an index to its file, and the reasons an index is passed over.
#include "index/byte_codec.hpp"
#include "index/index_header.hpp"
#include "index/indexable.hpp"
#include "index/trust.hpp"
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

constexpr indexing::IndexKind kind{"TESTIDX\n", 3, "tester"};

std::string header_bytes(std::string_view magic, std::uint32_t version) {
    std::string bytes;
    indexing::ByteWriter writer(bytes);
    writer.put_bytes(magic);
    writer.put(version);
    writer.put(std::uint32_t{5});
    writer.put(std::uint64_t{42});
    writer.put(std::int64_t{1700000000});
    writer.put(std::int64_t{123});
    return bytes;
}

TEST(IndexHeader, TellsAnotherProgramsIndexAndAnotherVersionFromDamage) {
    struct Case {
        std::string bytes;
        std::string why_not;  // empty: read
        bool good;
    };
    const std::string whole = header_bytes(kind.magic, 3);
    const std::vector<Case> cases = {
        {whole, "", true},
        {header_bytes("ORVANOIX", 3), "it is no tester index", true},
        {header_bytes(kind.magic, 4), "it is of version 4, this tester reads version 3", true},
        {whole.substr(0, 5), "it is no tester index", false},
        {whole.substr(0, whole.size() - 1), "", false},  // cut short inside the stamp: damage
    };
    for (const Case& test : cases) {
        indexing::ByteReader reader(test.bytes);
        std::string why_not;
        const auto header = indexing::read_header(reader, kind, why_not);
        EXPECT_EQ(why_not, test.why_not) << test.bytes.size();
        EXPECT_EQ(header.has_value(), test.why_not.empty());
        EXPECT_EQ(reader.good(), test.good) << test.bytes.size();
    }
    std::string written;
    indexing::ByteWriter writer(written);
    indexing::write_header(writer, kind, {5, {42, 1700000000, 123}});
    EXPECT_EQ(written, whole);
    EXPECT_EQ(written.size(), indexing::index_header_size);
}

TEST(Trust, AnUntrustedIndexIsSaidOnceAndTheFileReadWhole) {
    EXPECT_EQ(indexing::reading_whole(indexing::made_for_another_version("m.txt.oix", "m.txt")),
              "'m.txt.oix' was made for another version of 'm.txt' (its size or time differs): reading it whole");
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
