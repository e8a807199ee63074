// The regions room: region texts and BED lines as samtools and BED read them, and cutting held
// to a reference that joins a record's lines and takes a substring, whatever the pieces a scan
// hands on.
#include "talmiro/regions/region_cutting.hpp"
#include "talmiro/regions/region_parsing.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

namespace {

using talmiro::Region;
using talmiro::RegionCut;
using talmiro::RegionError;

constexpr std::uint64_t to_end = Region::to_end;

struct RegionCase {
    std::string text;
    bool reverse;
    std::string name;  // empty where the text is refused
    std::uint64_t begin;
    std::uint64_t end;
    std::string header_or_error;  // the header, or a part of the reason it is refused
};

TEST(RegionText, ReadsAsSamtoolsWritesIt) {
    const std::vector<RegionCase> cases = {
        {"c1", false, "c1", 0, to_end, "c1"},
        {"c1:5", false, "c1", 4, to_end, "c1:5"},
        {"c1:5-", false, "c1", 4, to_end, "c1:5-"},
        {"c1:5-9", true, "c1", 4, 9, "c1:5-9/rc"},
        {"c1:5-5", false, "c1", 4, 5, "c1:5-5"},
        {"chr1:1,000-2,000", false, "chr1", 999, 2000, "chr1:1,000-2,000"},
        {"{a:b}:2-3", false, "a:b", 1, 3, "{a:b}:2-3"},
        {"{a:b}", false, "a:b", 0, to_end, "{a:b}"},
        {"a:b:2-3", false, "a:b", 1, 3, "a:b:2-3"},              // the last ':' starts the range
        {"HLA:A*01", false, "HLA:A*01", 0, to_end, "HLA:A*01"},  // no range after it: one name
        {"c1:5-x", false, "c1:5-x", 0, to_end, "c1:5-x"},
        {"c1:0-5", false, "", 0, 0, "a start of 0"},
        {"c1:6-5", false, "", 0, 0, "its start (6) lies after its end (5)"},
        {"c1:1-0", false, "", 0, 0, "lies after its end (0)"},
        {"c1:,", false, "", 0, 0, "is no whole number"},
        {"c1:5-,", false, "", 0, 0, "its end"},
        {"c1:99999999999999999999", false, "", 0, 0, "is no whole number"},
        {":5-9", false, "", 0, 0, "names no record"},
        {"", false, "", 0, 0, "names no record"},
        {"a b:1-2", false, "", 0, 0, "holds a blank"},
        {"{a:b:2-3", false, "", 0, 0, "never closed"},
        {"{a}x", false, "", 0, 0, "only \":START-END\""},
        {"{a}:", false, "", 0, 0, "only \":START-END\""},
    };
    for (const RegionCase& test : cases) {
        SCOPED_TRACE(test.text);
        const talmiro::ParsedRegion parsed = talmiro::parse_region(test.text, test.reverse);
        if (test.name.empty()) {
            ASSERT_TRUE(std::holds_alternative<RegionError>(parsed));
            EXPECT_NE(std::get<RegionError>(parsed).why.find(test.header_or_error), std::string::npos)
                << std::get<RegionError>(parsed).why;
            continue;
        }
        ASSERT_TRUE(std::holds_alternative<Region>(parsed)) << std::get<RegionError>(parsed).why;
        const Region& region = std::get<Region>(parsed);
        EXPECT_EQ(region.name, test.name);
        EXPECT_EQ(region.begin, test.begin);
        EXPECT_EQ(region.end, test.end);
        EXPECT_EQ(region.header, test.header_or_error);
        EXPECT_EQ(region.reverse, test.reverse);
    }
}

TEST(RegionText, BedLinesAreFromZeroAndHeadedFromOne) {
    struct BedCase {
        std::string line;
        talmiro::BedChoice choice;
        std::string header_or_error;  // "" for a line that is no region
        std::uint64_t begin = 0;
        std::uint64_t end = 0;
        bool reverse = false;
    };
    const talmiro::BedChoice plain{};
    const talmiro::BedChoice stranded{false, true, false};
    const talmiro::BedChoice named{true, false, false};
    const std::vector<BedCase> cases = {
        {"c1\t0\t10", plain, "c1:1-10", 0, 10},
        {"c1\t4\t9\tgene\t0\t-", plain, "c1:5-9", 4, 9},
        {"c1\t4\t9\tgene\t0\t-", stranded, "c1:5-9/rc", 4, 9, true},
        {"c1\t4\t9\tgene\t0\t+\r", stranded, "c1:5-9", 4, 9},
        {"c1\t4\t9\tgene", named, "gene", 4, 9},
        {"c1 4 9", plain, "c1:5-9", 4, 9},    // blank-separated, as some tools write it
        {"c1\t5\t5", plain, "c1:6-5", 5, 5},  // an empty interval
        {"# a comment", plain, ""},
        {"track name=x", plain, ""},
        {"browser position c1", plain, ""},
        {"   ", plain, ""},
        {"c1\t5", plain, "fewer than the 3 fields"},
        {"c1\tx\t9", plain, "its start \"x\""},
        {"c1\t1\t-9", plain, "its end \"-9\""},
        {"c1\t1,000\t2000", plain, "its start \"1,000\""},  // BED has no separators
        {"c1\t9\t4", plain, "its start (9) lies after its end (4)"},
        {"c1\t4\t9\tgene\t0\t?", stranded, "its strand \"?\""},
        {"c1\t4\t9", named, "no name (4th field)"},
        {"\t4\t9", plain, "names no record"},
    };
    for (const BedCase& test : cases) {
        SCOPED_TRACE(test.line);
        const talmiro::BedLine parsed = talmiro::parse_bed_line(test.line, test.choice);
        if (test.header_or_error.empty()) {
            EXPECT_TRUE(std::holds_alternative<talmiro::NotARegion>(parsed));
        } else if (const RegionError* const bad = std::get_if<RegionError>(&parsed)) {
            EXPECT_NE(bad->why.find(test.header_or_error), std::string::npos) << bad->why;
        } else {
            ASSERT_TRUE(std::holds_alternative<Region>(parsed));
            const Region& region = std::get<Region>(parsed);
            EXPECT_EQ(region.header, test.header_or_error);
            EXPECT_EQ(region.begin, test.begin);
            EXPECT_EQ(region.end, test.end);
            EXPECT_EQ(region.reverse, test.reverse);
        }
    }
}

// samtools faidx -i's own output for this line of every IUPAC code in both cases and a few
// bytes without a complement.
TEST(RegionCutting, ComplementsAsSamtoolsDoes) {
    std::string bases = "ACGTRYKMBVDHNUacgtrykmbvdhnuSWsw-*.XZAAAA";
    talmiro::reverse_complement(bases);
    EXPECT_EQ(bases, "TTTTZX.*-wsWSandhbvkmryacgtANDHBVKMRYACGT");
}

// A record as lines of `widths` (cycled), each ended by "\n" or "\r\n".
std::string record_text(const std::string& bases, const std::vector<std::size_t>& widths, bool crlf) {
    std::string text;
    for (std::size_t at = 0, line = 0; at < bases.size(); ++line) {
        const std::size_t width = widths[line % widths.size()];
        text += bases.substr(at, width) + (crlf ? "\r\n" : "\n");
        at += width;
    }
    return text;
}

// Every line of `text` without its line break ("\n" or "\r\n").
std::string joined_lines(const std::string& text) {
    std::string joined;
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t end = text.find('\n', at);
        std::string_view line = std::string_view(text).substr(at, end - at);
        joined += line.ends_with('\r') ? line.substr(0, line.size() - 1) : line;
        at = end + 1;
    }
    return joined;
}

std::string wrapped(const std::string& text, std::uint32_t width) {
    std::string lines;
    for (std::size_t at = 0; at < text.size(); at += width == 0 ? text.size() : width) {
        lines += text.substr(at, width == 0 ? text.size() : width) + "\n";
    }
    return lines;
}

// Every region of random records, the records handed on in pieces of random sizes (so that a
// line break or its carriage return falls at a piece's edge), written at several widths: as
// the reference joins the lines, cuts, turns and wraps.
TEST(RegionCutting, CutsWhatTheJoinedLinesHoldAtEveryPieceEdge) {
    std::mt19937 random(20261210);
    for (int trial = 0; trial < 300; ++trial) {
        const bool fastq = trial % 3 == 0;
        std::string bases;
        const std::size_t length = random() % 300;
        for (std::size_t at = 0; at < length; ++at) {
            bases += "ACGTNacgtRY\r"[random() % (fastq ? 11 : 12)];  // a stray '\r' is a base
        }
        std::string qualities(length, 'I');
        for (char& quality : qualities) {
            quality = static_cast<char>('!' + random() % 60);
        }
        const bool crlf = random() % 3 == 0;
        const std::vector<std::size_t> widths = {1 + random() % 70, 1 + random() % 70};
        std::string text = std::string("name desc") + (crlf ? "\r\n" : "\n") + record_text(bases, widths, crlf);
        if (fastq) {
            text += std::string("+") + (crlf ? "\r\n" : "\n") + record_text(qualities, widths, crlf);
        }
        std::vector<Region> regions(1 + random() % 5);
        for (Region& region : regions) {
            region.begin = random() % (length + 5);
            region.end = random() % 4 == 0 ? to_end : region.begin + random() % 100;
            region.reverse = random() % 2 == 0;
            region.header = "h";
        }
        std::vector<const Region*> pointers;
        for (const Region& region : regions) {
            pointers.push_back(&region);
        }
        talmiro::RegionCutter cutter;
        const talmiro::RecordFormat format = fastq ? talmiro::RecordFormat::fastq : talmiro::RecordFormat::fasta;
        cutter.start(format, pointers);
        for (std::size_t at = 0; at < text.size();) {
            const std::size_t size = std::min<std::size_t>(1 + random() % 9, text.size() - at);
            cutter.add(std::string_view(text).substr(at, size));
            at += size;
        }
        cutter.end_record();
        SCOPED_TRACE(text);
        // The reference reads the lines back: a '\r' that ends one is its line break's,
        // whatever was meant.
        bases = joined_lines(record_text(bases, widths, crlf));
        qualities = joined_lines(record_text(qualities, widths, crlf));
        ASSERT_EQ(cutter.bases(), bases.size());
        const std::uint32_t width = static_cast<std::uint32_t>(random() % 3 == 0 ? 0 : 1 + random() % 80);
        for (std::size_t nth = 0; nth < regions.size(); ++nth) {
            const Region& region = regions[nth];
            std::string cut = std::string(talmiro::clipped(bases, region.begin, region.end));
            std::string cut_qualities = std::string(talmiro::clipped(qualities, region.begin, region.end));
            if (region.reverse) {
                talmiro::reverse_complement(cut);
                std::reverse(cut_qualities.begin(), cut_qualities.end());
            }
            std::string expected = "h\n" + wrapped(cut, width);
            if (fastq) {
                expected += "+\n" + wrapped(cut_qualities, width);
            }
            std::string written;
            talmiro::write_region(region, format, cutter.cuts()[nth], width, written);
            EXPECT_EQ(written, expected) << region.begin << " " << region.end;
        }
    }
}

}  // namespace
