// The matrix reader's own scanner and number parser must read exactly what formatted stream
// extraction reads; the writer's formatting must match the stream's fixed output.
#include "io/progress.hpp"
#include "front/dialogue.hpp"
#include "orvane/readers/square_reading.hpp"
#include "orvane/writers/square_writing.hpp"
#include "orvane/readers/pair_reading.hpp"
#include "io/output_file.hpp"
#include "support/session.hpp"
#include "orvane/parse/token_reader.hpp"
#include "orvane/parse/token_skipping.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <bit>
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
    "0", "-0", "+0", "00012", "1.5", "-1.5", "+1.5", ".5", "-.5", "5.", "1.e5", "1e5", "1E5", "1e+5", "1e-5",
    "1e", "1e+", "1e-", "1ex", "1e.5", "e5", ".", "-", "+", "--5", "+-5", "-+5", "1.2.3", "1e5e3", "1.5abc",
    "0x1p3", "0x10", "inf", "-inf", "nan", "INF", "1e38", "3.4028235e38", "3.4028236e38", "3.5e38", "1e39",
    "-1e50", "1e-38", "1e-45", "1e-46", "1e-50", "1e-400", "0.000000000000000000000000000000000000000001",
    "123456789012345678901234567890", "0.1", "0.30000001192092896", "16777217", "1,5", "1_000", "12abc34",
    "999999999999999999999999999999999999999999999999999", "0e0", "0e", "00.00e00", "-0.0e-0", "1e0000000000005",
    "1e-0000000000005", std::string(200, '9'), "0." + std::string(150, '0') + "1", "3." + std::string(120, '3'),
};

TEST(TokenReaderDifferential, TrickyNumbersReadAsByTheStream) {
    ScratchDir dir;
    for (const std::string& number : tricky_numbers) {
        for (const auto& buffer_size : buffer_sizes) {
            // The text alone, then followed by another number, so what the first read left
            // behind is checked by the second.
            expect_same_reads(dir, number, {Read::number, Read::number}, buffer_size);
            expect_same_reads(dir, "  " + number + " 2.5\n", {Read::number, Read::number, Read::token},
                              buffer_size);
            expect_same_reads(dir, number + "\t7", {Read::integer, Read::token, Read::token}, buffer_size);
        }
    }
}

TEST(TokenReaderDifferential, IntegersAtTheEdgesOf32Bits) {
    ScratchDir dir;
    const std::vector<std::string> integers = {
        "2147483647", "2147483648", "-2147483648", "-2147483649", "+17", "-0", "0000000000000000000000042",
        "99999999999999999999999", "-99999999999999999999999", "3.7", "12abc", "abc", "-", "+", "", "0x1A", "  \r\n 8",
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
    const std::vector<std::string> pieces = {"0", "1", "7", "42", "9999999", ".", "e", "E", "+", "-", "x",
                                             "a", "00", "5e", "3.25", "1e38", "e-4", "1e-45"};
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

TEST(DistanceFormat, MatchesTheStreamWhereTheFieldHasRoom) {
    std::mt19937 random(7);
    std::vector<float> values = {0.0F, -0.0F, 0.1F, 1.0F, -0.5F, 0.1234565F, 0.0000005F, 0.0000004F, 99.9999995F,
                                 999.999F, -99.999999F, 1e-30F, 3.4028235e38F, -3.4028235e38F, 1e-45F};
    std::uniform_real_distribution<float> spread(-1200.0F, 1200.0F);
    for (int index = 0; index < 100000; ++index) {
        values.push_back(index % 2 == 0 ? spread(random) : spread(random) / 1000.0F);
    }
    // Exact ties at the sixth decimal (odd multiples of 2^-7 and 2^-8) round to even.
    for (int odd = 1; odd < 4000; odd += 2) {
        values.push_back(static_cast<float>(odd) / 128.0F);
        values.push_back(-static_cast<float>(odd) / 256.0F);
    }
    // Every magnitude a float has, around the 2^31 switch to the general path too.
    for (int exponent = -149; exponent <= 127; ++exponent) {
        for (const float scale : {1.0F, 1.5F, 1.999999F}) {
            values.push_back(std::ldexp(scale, exponent));
            values.push_back(-std::ldexp(scale, exponent));
        }
    }
    values.push_back(2147483520.0F);
    values.push_back(2147483648.0F);
    // Every bit pattern of a stride through the whole float range.
    for (std::uint64_t bits = 0; bits < (std::uint64_t{1} << 32); bits += 65537) {
        const float value = std::bit_cast<float>(static_cast<std::uint32_t>(bits));
        if (std::isfinite(value)) {
            values.push_back(value);
        }
    }
    orvane::DistanceField field{};
    for (const float value : values) {
        std::ostringstream stream;
        stream << std::setw(10) << std::fixed << std::setprecision(6) << value;
        const std::string expected = stream.str();
        const std::string_view got = orvane::format_distance(value, field);
        if (expected.size() > 10 || expected.front() != ' ') {
            ASSERT_EQ(got, " " + expected) << value;  // a full field is kept apart from its neighbour
        } else {
            ASSERT_EQ(got, expected) << value;
        }
    }
}

TEST(DistanceFormat, FullFieldsGetOneSeparatingSpace) {
    orvane::DistanceField field{};
    EXPECT_EQ(orvane::format_distance(0.5F, field), "  0.500000");
    EXPECT_EQ(orvane::format_distance(-0.5F, field), " -0.500000");
    EXPECT_EQ(orvane::format_distance(99.25F, field), " 99.250000");
    EXPECT_EQ(orvane::format_distance(100.0F, field), " 100.000000");
    EXPECT_EQ(orvane::format_distance(-10.0F, field), " -10.000000");
    EXPECT_EQ(orvane::format_distance(1234.5F, field), " 1234.500000");
}

// Converting listed rows on a helper thread (mapped inputs, two cores) against reading every row
// here (a copied window): the same rows found, the same values, the same meter and the same
// reason to stop, on plain matrices and on every kind of row that must fall back to the one-core
// reading, with windows from one page (rows straddle every edge) to the whole file.
TEST(MatrixReadingDifferential, RowsConvertedAlongsideReadAsOneByOne) {
    ScratchDir dir;
    std::mt19937 random(12);
    const int order = 120;
    const std::vector<std::string> spoilers = {"", "NA", "0.5x", "1e", "", "", "nan", ""};
    for (int round = 0; round < 40; ++round) {
        std::vector<std::string> names;
        for (int row = 0; row < order; ++row) {
            names.push_back("N" + std::to_string(row));
        }
        if (round % 5 == 1) {
            names[static_cast<std::size_t>(random() % order)] = names[static_cast<std::size_t>(random() % order)];
        }
        std::string text = std::to_string(order) + "\n";
        for (int row = 0; row < order; ++row) {
            text += names[static_cast<std::size_t>(row)];
            for (int column = 0; column < order; ++column) {
                text.append(column % 9 == 0 ? "\n " : " ").append(std::to_string(random() % 1000));
                text.append(".").append(std::to_string(random() % 1000));
            }
            text += "\n";
        }
        // One spoiled value somewhere, or a cut file.
        const std::string spoiler = spoilers[static_cast<std::size_t>(round) % spoilers.size()];
        if (!spoiler.empty()) {
            const std::size_t at = text.find(' ', text.size() / 2 + static_cast<std::size_t>(random() % 1000));
            text.insert(at + 1, spoiler);
        } else if (round % 3 == 2) {
            text.resize(text.size() * 3 / 4);
        }
        dir.write("input", text);
        std::string list;
        for (int id = 0; id < order; id += 1 + static_cast<int>(random() % 4)) {
            list += "N" + std::to_string(id) + " ";
        }
        const auto read = [&](std::size_t window, io::ReadBuffer::Access access, bool strict, threads::Cores cores) {
            text::NameList ids_list;
            std::istringstream words(list);
            for (std::string word; words >> word;) {
                ids_list.add(word);
            }
            orvane::IdTable ids(std::move(ids_list));
            TokenReader reader(*io::InputFile::open((dir / "input").string()), window, access);
            const std::int32_t declared = orvane::read_matrix_order(reader);
            orvane::DistanceRows<double> rows(ids.ids().slot_count(), static_cast<std::size_t>(declared));
            std::ostringstream shown;
            console::Meter meter(shown);
            const auto stop = orvane::read_distance_matrix(
                reader, ids, declared, rows,
                strict ? orvane::Strictness::whole_numbers : orvane::Strictness::as_the_stream, meter.progress(""), cores);
            std::string outcome = shown.str() + "|" + (stop ? stop->describe() : "whole") + "|";
            for (std::size_t position = 0; position < ids.size(); ++position) {
                const std::uint32_t slot = ids.ids().slot(position);
                outcome += std::to_string(ids.matrix_row(slot)) + ":";
                if (ids.found_at(position)) {
                    for (int column = 0; column < declared; ++column) {
                        outcome += std::to_string(rows.row(slot)[column]) + ",";
                    }
                }
            }
            return outcome;
        };
        for (const bool strict : {false, true}) {
            // The one-core reading against the two-core one, forced so on any machine.
            const std::string expected = read(64, io::ReadBuffer::Access::copied, strict, threads::Cores::one);
            for (const std::size_t window : {std::size_t{4096}, io::ReadBuffer::default_size}) {
                const std::string got =
                    read(window, io::ReadBuffer::Access::mapped_when_possible, strict, threads::Cores::two);
                const auto differ = std::mismatch(got.begin(), got.end(), expected.begin(), expected.end());
                EXPECT_TRUE(got == expected) << "round " << round << ", window " << window << (strict ? ", strict" : "")
                                             << ": from byte " << (differ.first - got.begin()) << " "
                                             << got.substr(static_cast<std::size_t>(differ.first - got.begin()), 80)
                                             << " vs " << expected.substr(static_cast<std::size_t>(differ.first - got.begin()), 80);
            }
        }
    }
}

// Every other output row formatted on a helper thread against every row formatted here, forced
// either way on any machine: the same bytes in both fixed-width layouts, the sample included.
TEST(MatrixWritingDifferential, RowsFormattedAlongsideWriteAsOneByOne) {
    ScratchDir dir;
    std::mt19937 random(31);
    text::NameList listed;
    const int count = 150;
    for (int id = 0; id < count; ++id) {
        listed.add("ID" + std::to_string(random() % 200));  // some twice, some beyond the matrix
    }
    orvane::IdTable ids(std::move(listed));
    orvane::DistanceRows<double> rows(ids.ids().slot_count(), 200);
    for (std::uint32_t slot = 0; slot < ids.ids().slot_count(); ++slot) {
        if (slot % 7 != 3) {
            ids.set_matrix_row(slot, static_cast<std::int32_t>(slot));
        }
        for (int column = 0; column < 200; ++column) {
            rows.row(slot)[column] = static_cast<double>(random() % 2000000) / 7.0 - 100.0;
        }
    }
    for (const orvane::Layout layout : {orvane::Layout::square, orvane::Layout::lower}) {
        std::vector<std::string> written;
        for (const threads::Cores cores : {threads::Cores::one, threads::Cores::two}) {
            const std::string name = std::to_string(static_cast<int>(cores));
            {
                io::OutputFile matrix = *io::OutputFile::create((dir / ("matrix" + name)).string());
                io::OutputFile sample = *io::OutputFile::create((dir / ("sample" + name)).string());
                orvane::write_output_files(&matrix, &sample, ids, rows, io::Progress(), layout, cores);
                ASSERT_TRUE(matrix.close() && sample.close());
            }
            written.push_back(dir.read("matrix" + name) + "|" + dir.read("sample" + name));
        }
        EXPECT_TRUE(written[0] == written[1]) << "layout " << static_cast<int>(layout);
        EXPECT_GT(written[0].size(), std::size_t{100000});
    }
}

}  // namespace

// Pair lists read line by line with the IDs' lookups cached, on one thread or in two halves at
// once, against a whole-text reference: for random lists of pairs (tab- or blank-separated, one
// order or both, repeated, with extra fields, blank lines and CRLF), taking a list of IDs or
// excluding it, at windows that cut every line.
TEST(PairReadingDifferential, PairsReadAsByAWholeTextReference) {
    ScratchDir dir;
    std::mt19937 random(18);
    for (int round = 0; round < 60; ++round) {
        const int count = 2 + static_cast<int>(random() % 12);
        const bool tabbed = round % 2 == 0;
        // Long IDs, as mash names genomes by their paths, take the sixteen-byte tab search.
        const std::string prefix = round % 3 == 1 ? "genomes/GCF_000123456.1_ASM" : "N";
        const std::string gap = tabbed ? "\t" : (round % 4 == 1 ? " " : "  \t ");
        std::map<std::pair<int, int>, std::string> given;
        std::string text;
        std::vector<int> first_seen;  // the IDs in the order the lines name them
        const auto see = [&](int id) {
            if (std::find(first_seen.begin(), first_seen.end(), id) == first_seen.end()) {
                first_seen.push_back(id);
            }
        };
        // Some rounds give a pair again with another value: an error once both its IDs are taken.
        const bool conflicting = round % 4 == 3;
        struct PairLine {
            int a;
            int b;
            std::string value;
            std::uint64_t number;
        };
        std::vector<PairLine> lines;
        for (int line = 0; line < count * count; ++line) {
            const int a = static_cast<int>(random() % static_cast<unsigned>(count));
            const int b = round % 3 == 0 ? line % count : static_cast<int>(random() % static_cast<unsigned>(count));
            const auto earlier = given.find({a, b});
            const std::string value = earlier != given.end() && !(conflicting && random() % 3 == 0)
                                          ? earlier->second
                                          : std::to_string(random() % 100) + "." + std::to_string(random() % 10);
            given.emplace(std::pair{a, b}, value);
            lines.push_back({a, b, value, static_cast<std::uint64_t>(std::count(text.begin(), text.end(), '\n')) + 1});
            see(a);
            see(b);
            text += prefix + std::to_string(a) + gap + prefix + std::to_string(b) + gap + value;
            text += random() % 3 == 0 ? gap + "0" + gap + "12/1000" : "";
            text += random() % 7 == 0 ? "\r\n" : random() % 9 == 0 ? "\n\n" : "\n";
        }
        dir.write("pairs", text);
        std::vector<int> listed;
        for (int id = 0; id < count; ++id) {
            if (random() % 2 == 0) {
                listed.push_back(id);
            }
        }
        const bool excluding = round % 5 == 4;
        std::vector<int> taken;  // the reference's IDs, in the order they are written
        for (const int id : excluding ? first_seen : listed) {
            const bool in_list = std::find(listed.begin(), listed.end(), id) != listed.end();
            if (excluding != in_list) {
                taken.push_back(id);
            }
        }
        const auto is_taken = [&](int id) { return std::find(taken.begin(), taken.end(), id) != taken.end(); };
        std::string expected;
        std::map<std::pair<int, int>, std::string> first_given;
        for (const PairLine& line : lines) {
            if (!is_taken(line.a) || !is_taken(line.b)) {
                continue;
            }
            const auto [earlier, fresh] = first_given.emplace(std::pair{line.a, line.b}, line.value);
            if (!fresh && std::stod(earlier->second) != std::stod(line.value)) {
                std::array<char, 32> shortest{};
                const char* const end =
                    std::to_chars(shortest.data(), shortest.data() + shortest.size(), std::stod(earlier->second)).ptr;
                expected = io::IoError::bad_content(
                               (dir / "pairs").string(),
                               "the distance from '" + prefix + std::to_string(line.a) + "' to '" + prefix +
                                   std::to_string(line.b) + "' is given twice, as " +
                                   std::string(shortest.data(), static_cast<std::size_t>(end - shortest.data())) +
                                   " and as " + line.value,
                               line.number)
                               .describe();
                break;
            }
        }
        for (const int row : expected.empty() ? taken : std::vector<int>{}) {
            if (std::find(first_seen.begin(), first_seen.end(), row) == first_seen.end()) {
                continue;  // not found
            }
            expected += prefix + std::to_string(row) + ":";
            for (const int column : taken) {
                if (std::find(first_seen.begin(), first_seen.end(), column) == first_seen.end()) {
                    continue;
                }
                const auto own = given.find({row, column});
                const auto mirror = given.find({column, row});
                if (own == given.end() && mirror == given.end() && row != column) {
                    expected = "no distance";
                    break;
                }
                expected += (own != given.end() ? own->second : mirror != given.end() ? mirror->second : "0") + ",";
            }
            if (expected == "no distance") {
                break;
            }
        }
        for (const threads::Cores cores : {threads::Cores::one, threads::Cores::two})
        for (const std::size_t window : {std::size_t{64}, io::ReadBuffer::default_size}) {
            text::NameList names;
            for (const int id : listed) {
                names.add(prefix + std::to_string(id));
            }
            orvane::IdTable ids(std::move(names),
                                excluding ? orvane::IdTable::Listing::excluded : orvane::IdTable::Listing::taken);
            io::LineReader reader(*io::InputFile::open((dir / "pairs").string()), window,
                                  window == 64 ? io::ReadBuffer::Access::copied
                                               : io::ReadBuffer::Access::mapped_when_possible);
            std::ostringstream shown;
            console::Meter meter(shown);
            std::optional<orvane::PairMatrix> matrix;
            const auto stop = orvane::read_pairs(reader, ids, true, meter.progress(""), matrix, cores);
            std::string got;
            if (stop) {
                got = stop->reason.find("no distance between") != std::string::npos ? "no distance" : stop->describe();
            } else {
                std::vector<std::string_view> cells;
                for (std::size_t position = 0; position < ids.size(); ++position) {
                    if (!ids.found_at(position)) {
                        continue;
                    }
                    const std::uint32_t slot = ids.ids().slot(position);
                    got += std::string(ids.ids().name(position)) + ":";
                    const std::string& line = matrix->texts->line(slot);
                    std::vector<orvane::Field> fields;
                    orvane::split_fields(line, '\t', fields);
                    for (std::size_t column = 0; column < ids.size(); ++column) {
                        if (ids.found_at(column)) {
                            const orvane::Field& cell = fields[ids.matrix_row(ids.ids().slot(column)) + 1];
                            got += line.substr(cell.begin, cell.end - cell.begin) + ",";
                            EXPECT_EQ(std::stod(line.substr(cell.begin, cell.end - cell.begin)),
                                      matrix->rows.row(slot)[ids.matrix_row(ids.ids().slot(column))]);
                        }
                    }
                }
            }
            EXPECT_EQ(got, expected) << "round " << round << ", window " << window << (excluding ? ", excluding" : "")
                                     << (cores == threads::Cores::two ? ", two halves" : "")
                                     << "\n" << text;
        }
    }
}
