// The parse room: the scanner and number parser read exactly what formatted stream extraction
// reads, and the token skipping kernels find what a byte loop finds.
#include "front/dialogue.hpp"
#include "io/output_file.hpp"
#include "io/progress.hpp"
#include "orvane/parse/number_parsing.hpp"
#include "orvane/parse/separator_scan.hpp"
#include "orvane/parse/token_reader.hpp"
#include "orvane/parse/token_skipping.hpp"
#include "orvane/readers/pair_reading.hpp"
#include "orvane/readers/square_reading.hpp"
#include "orvane/writers/square_writing.hpp"
#include "support/session.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstring>
#include <iomanip>
#include <map>
#include <random>
#include <sstream>
#include <vector>

namespace {

using orvane::TokenReader;
using testing_support::ScratchDir;

enum class Read { token, integer, number };

std::string describe(const std::string& text) {
    std::string shown;
    for (const char c : text) {
        if (c == '\n') {
            shown += "\\n";
        } else if (c == '\r') {
            shown += "\\r";
        } else if (c == '\t') {
            shown += "\\t";
        } else {
            shown += c;
        }
    }
    return '"' + shown + '"';
}

// Applies the same reads to a string stream and to the reader and demands the same outcome.
void expect_same_reads(const ScratchDir& dir, const std::string& text, const std::vector<Read>& reads,
                       const testing_support::BufferSetup& setup) {
    SCOPED_TRACE("input " + describe(text) + ", " + testing_support::describe(setup));
    dir.write("input", text);
    TokenReader reader(*io::InputFile::open((dir / "input").string()), setup.size, setup.access);
    std::istringstream stream(text);
    for (std::size_t index = 0; index < reads.size(); ++index) {
        SCOPED_TRACE("read " + std::to_string(index));
        bool stream_ok = false;
        bool reader_ok = false;
        // A read that fails with nothing but blanks left met the end; any other is no value.
        const bool nothing_left = (stream >> std::ws).eof();
        switch (reads[index]) {
        case Read::token: {
            std::string expected;
            stream_ok = static_cast<bool>(stream >> expected);
            const std::string_view got = reader.take_token();
            reader_ok = !reader.failed();
            if (stream_ok && reader_ok) {
                EXPECT_EQ(got, expected);
            }
            break;
        }
        case Read::integer: {
            int expected = 0;
            std::int32_t got = 0;
            stream_ok = static_cast<bool>(stream >> expected);
            reader_ok = reader.read_int32(got);
            if (stream_ok && reader_ok) {
                EXPECT_EQ(got, expected);
            }
            break;
        }
        case Read::number: {
            float expected = 0;
            float got = 0;
            stream_ok = static_cast<bool>(stream >> expected);
            reader_ok = reader.read_float(got);
            if (stream_ok && reader_ok) {
                EXPECT_EQ(std::memcmp(&got, &expected, sizeof got), 0) << got << " vs " << expected;
            }
            break;
        }
        }
        ASSERT_EQ(reader_ok, stream_ok);
        if (!stream_ok) {
            EXPECT_EQ(reader.stop(), nothing_left ? TokenReader::Stop::end_of_input : TokenReader::Stop::no_number);
            return;
        }
    }
}

const std::vector<testing_support::BufferSetup> buffer_sizes = testing_support::buffer_setups();

// Texts where formatted extraction has a rule of its own worth pinning down.
const std::vector<std::string> tricky_numbers = {
    "0",
    "-0",
    "+0",
    "00012",
    "1.5",
    "-1.5",
    "+1.5",
    ".5",
    "-.5",
    "5.",
    "1.e5",
    "1e5",
    "1E5",
    "1e+5",
    "1e-5",
    "1e",
    "1e+",
    "1e-",
    "1ex",
    "1e.5",
    "e5",
    ".",
    "-",
    "+",
    "--5",
    "+-5",
    "-+5",
    "1.2.3",
    "1e5e3",
    "1.5abc",
    "0x1p3",
    "0x10",
    "inf",
    "-inf",
    "nan",
    "INF",
    "1e38",
    "3.4028235e38",
    "3.4028236e38",
    "3.5e38",
    "1e39",
    "-1e50",
    "1e-38",
    "1e-45",
    "1e-46",
    "1e-50",
    "1e-400",
    "0.000000000000000000000000000000000000000001",
    "123456789012345678901234567890",
    "0.1",
    "0.30000001192092896",
    "16777217",
    "1,5",
    "1_000",
    "12abc34",
    "999999999999999999999999999999999999999999999999999",
    "0e0",
    "0e",
    "00.00e00",
    "-0.0e-0",
    "1e0000000000005",
    "1e-0000000000005",
    std::string(200, '9'),
    "0." + std::string(150, '0') + "1",
    "3." + std::string(120, '3'),
};

TEST(TokenReaderDifferential, TrickyNumbersReadAsByTheStream) {
    ScratchDir dir;
    for (const std::string& number : tricky_numbers) {
        for (const auto& buffer_size : buffer_sizes) {
            // The text alone, then followed by another number, so what the first read left
            // behind is checked by the second.
            expect_same_reads(dir, number, {Read::number, Read::number}, buffer_size);
            expect_same_reads(dir, "  " + number + " 2.5\n", {Read::number, Read::number, Read::token}, buffer_size);
            expect_same_reads(dir, number + "\t7", {Read::integer, Read::token, Read::token}, buffer_size);
        }
    }
}

// What is told plainly a number without converting it is a number the parser reads whole:
// random short texts of a number's characters, and the edges of the plain shape.
TEST(TokenReaderDifferential, PlainNumbersAreNumbersTheParserReadsWhole) {
    for (const auto& [text, plain] : std::vector<std::pair<std::string, bool>>{{"0.1", true},
                                                                               {"1.", true},
                                                                               {".5", true},
                                                                               {"-2e-05", true},
                                                                               {"+3E99", true},
                                                                               {"1e999", false},
                                                                               {"1e", false},
                                                                               {".", false},
                                                                               {"-", false},
                                                                               {"e5", false},
                                                                               {"NA", false},
                                                                               {"1.2.3", false},
                                                                               {"123456789012345678901", false}}) {
        EXPECT_EQ(orvane::plainly_a_number(text), plain) << text;
    }
    std::mt19937 random(41);
    for (int round = 0; round < 200000; ++round) {
        std::string text;
        for (std::size_t length = 1 + random() % 8; text.size() < length;) {
            text += "0123456789.eE+-x"[random() % 16];
        }
        double value = 0;
        if (orvane::plainly_a_number(text)) {
            ASSERT_EQ(orvane::parse_number(text.data(), text.data() + text.size(), value), text.data() + text.size())
                << text;
        }
    }
}

TEST(TokenReaderDifferential, IntegersAtTheEdgesOf32Bits) {
    ScratchDir dir;
    const std::vector<std::string> integers = {
        "2147483647",
        "2147483648",
        "-2147483648",
        "-2147483649",
        "+17",
        "-0",
        "0000000000000000000000042",
        "99999999999999999999999",
        "-99999999999999999999999",
        "3.7",
        "12abc",
        "abc",
        "-",
        "+",
        "",
        "0x1A",
        "  \r\n 8",
    };
    for (const std::string& integer : integers) {
        for (const auto& buffer_size : buffer_sizes) {
            expect_same_reads(dir, integer + " next", {Read::integer, Read::token, Read::token}, buffer_size);
        }
    }
}

TEST(TokenReaderDifferential, TokensOfAnyLengthAcrossBufferEdges) {
    using namespace std::string_literals;
    ScratchDir dir;
    const std::string text = " a \t bb\r\nccc\v\fdddd "s + std::string(5000, 'x') + "\n\n e\0f g\x85h"s;
    for (const auto& buffer_size : buffer_sizes) {
        expect_same_reads(dir, text, std::vector<Read>(9, Read::token), buffer_size);
    }
}

// Random texts built from the pieces numbers are made of, read with a random mix of reads.
TEST(TokenReaderDifferential, GeneratedInputs) {
    ScratchDir dir;
    std::mt19937 random(20261208);
    const std::vector<std::string> pieces = {"0", "1", "7", "42", "9999999", ".",    "e",    "E",   "+",
                                             "-", "x", "a", "00", "5e",      "3.25", "1e38", "e-4", "1e-45"};
    const std::vector<std::string> blanks = {" ", "\t", "\n", "\r\n", "\v", "\f", "  \n "};
    for (int round = 0; round < 3000; ++round) {
        std::string text;
        const int tokens = 1 + static_cast<int>(random() % 6);
        for (int token = 0; token < tokens; ++token) {
            const int parts = 1 + static_cast<int>(random() % 4);
            for (int part = 0; part < parts; ++part) {
                text += pieces[random() % pieces.size()];
            }
            text += blanks[random() % blanks.size()];
        }
        std::vector<Read> reads;
        for (int read = 0; read < tokens + 1; ++read) {
            const unsigned kind = random() % 5;
            reads.push_back(kind == 0 ? Read::token : kind == 1 ? Read::integer : Read::number);
        }
        expect_same_reads(dir, text, reads, buffer_sizes[random() % buffer_sizes.size()]);
        if (::testing::Test::HasFailure()) {
            return;
        }
    }
}

// Well-formed distances of every magnitude and digit count must round exactly as the stream.
TEST(TokenReaderDifferential, GeneratedDistancesRoundAsTheStream) {
    ScratchDir dir;
    std::mt19937_64 random(42);
    std::string text;
    for (int value = 0; value < 20000; ++value) {
        const int digits = 1 + static_cast<int>(random() % 12);
        std::string number = (random() % 4 == 0) ? "-" : "";
        for (int digit = 0; digit < digits; ++digit) {
            number += static_cast<char>('0' + random() % 10);
            if (digit == static_cast<int>(random() % 6)) {
                number += '.';
            }
        }
        if (number.find('.') == std::string::npos && random() % 2 == 0) {
            number += '.';
        }
        if (random() % 5 == 0) {
            number += "e" + std::to_string(static_cast<int>(random() % 90) - 45);
        }
        text += number + ((random() % 8 == 0) ? "\n" : " ");
    }
    for (const auto& setup : buffer_sizes) {
        expect_same_reads(dir, text, std::vector<Read>(20001, Read::number), setup);
    }
}

// Texts of random tokens and every kind of blank, long enough to span many 64-byte blocks.
std::string random_tokens_text(std::mt19937& random, std::size_t tokens) {
    static const std::string blanks = " \t\n\v\f\r";
    std::string text;
    for (std::size_t token = 0; token < tokens; ++token) {
        const std::size_t gap = random() % 4;
        for (std::size_t blank = 0; blank < gap; ++blank) {
            text += blanks[random() % blanks.size()];
        }
        const std::size_t length = 1 + (random() % 8 == 0 ? random() % 150 : random() % 9);
        for (std::size_t at = 0; at < length; ++at) {
            // Bytes next to the blanks in value, so the range tests are tried at their edges.
            static const std::string near_blanks = "\x08\x0e\x1f!0.5e-x\x7f\x80\xff";
            text += near_blanks[random() % near_blanks.size()];
        }
        text += blanks[random() % blanks.size()];
    }
    return text;
}

TEST(TokenSkipping, EachKernelFindsTheSameStartsAsAByteLoop) {
    std::mt19937 random(64);
    for (int round = 0; round < 300; ++round) {
        const std::string text = random_tokens_text(random, 1 + random() % 200);
        const std::uint64_t wanted = 1 + random() % 400;
        const bool in_token = random() % 2 == 0;
        // The reference: the same walk, one byte at a time, over the same whole blocks.
        orvane::SkipProgress expected{0, wanted, in_token};
        const std::size_t blocks_end = text.size() / 64 * 64;
        for (; expected.pos < blocks_end; ++expected.pos) {
            const bool nonblank = !orvane::is_blank(text[expected.pos]);
            if (nonblank && !expected.in_token && --expected.remaining == 0) {
                expected.in_token = false;
                break;
            }
            expected.in_token = nonblank;
        }
        if (expected.remaining > 0) {
            expected.pos = blocks_end;
        }
        for (const auto kernel : {orvane::ScanKernel::portable, orvane::ScanKernel::sse2, orvane::ScanKernel::avx2}) {
            if (!orvane::scan_kernel_supported(kernel)) {
                continue;
            }
            const orvane::SkipProgress got =
                orvane::skip_token_starts(text.data(), text.size(), {0, wanted, in_token}, kernel);
            ASSERT_EQ(got.pos, expected.pos) << "kernel " << static_cast<int>(kernel);
            ASSERT_EQ(got.remaining, expected.remaining);
            if (got.remaining > 0) {
                ASSERT_EQ(got.in_token, expected.in_token);
            }
        }
    }
}

// The pair lines' separator scan gives every tab and line break, in order and telling which, as
// a byte walk finds them: texts of every length around the 64-byte blocks, separators anywhere
// (the first and last byte, across block edges, runs of them) among bytes that look alike ('\v',
// '\r', 0x89 and 0x8A, which equal a tab or a line break in their low bits).
TEST(SeparatorScan, GivesEverySeparatorAsAByteWalkFindsIt) {
    std::mt19937 random(66);
    const std::string bytes = "\t\nab\v\r\x89\x8A 0.";
    for (std::size_t length = 0; length < 300; ++length) {
        std::string text;
        for (std::size_t at = 0; at < length; ++at) {
            text += bytes[random() % bytes.size()];
        }
        std::vector<std::pair<std::size_t, bool>> expected;
        for (std::size_t at = 0; at < text.size(); ++at) {
            if (text[at] == '\t' || text[at] == '\n') {
                expected.emplace_back(at, text[at] == '\n');
            }
        }
        std::vector<std::pair<std::size_t, bool>> got;
        orvane::SeparatorScan scan(text);
        bool line_break = true;
        for (std::size_t at = scan.next(line_break); at < text.size(); at = scan.next(line_break)) {
            got.emplace_back(at, line_break);
        }
        EXPECT_FALSE(line_break);
        ASSERT_EQ(got, expected) << "length " << length;
    }
}

TEST(TokenSkipping, SkippingManyEqualsSkippingOneByOne) {
    ScratchDir dir;
    std::mt19937 random(65);
    for (int round = 0; round < 150; ++round) {
        const std::string text = random_tokens_text(random, 1 + random() % 300);
        const auto setup = testing_support::buffer_setups()[random() % testing_support::buffer_setups().size()];
        dir.write("input", text);
        TokenReader many(*io::InputFile::open((dir / "input").string()), setup.size, setup.access);
        TokenReader single(*io::InputFile::open((dir / "input").string()), setup.size, setup.access);
        for (int step = 0; step < 6; ++step) {
            const std::uint64_t count = random() % 3 == 0 ? random() % 3 : random() % 120;
            bool one_by_one = true;
            for (std::uint64_t token = 0; token < count && one_by_one; ++token) {
                one_by_one = single.skip_token();
            }
            ASSERT_EQ(many.skip_tokens(count), one_by_one) << describe(text) << " " << testing_support::describe(setup);
            const std::string next_single(single.take_token());
            ASSERT_EQ(std::string(many.take_token()), next_single);
            ASSERT_EQ(many.failed(), single.failed());
            if (single.failed()) {
                break;
            }
        }
    }
}

}  // namespace
