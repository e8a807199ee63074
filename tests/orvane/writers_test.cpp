// The writers room: distances formatted exactly as the stream's fixed output, and rows formatted
// alongside the writing written as one by one.
#include "front/dialogue.hpp"
#include "io/output_file.hpp"
#include "io/progress.hpp"
#include "orvane/model/choice.hpp"
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

TEST(DistanceFormat, MatchesTheStreamWhereTheFieldHasRoom) {
    std::mt19937 random(7);
    std::vector<float> values = {0.0F,        -0.0F,      0.1F,          1.0F,           -0.5F,
                                 0.1234565F,  0.0000005F, 0.0000004F,    99.9999995F,    999.999F,
                                 -99.999999F, 1e-30F,     3.4028235e38F, -3.4028235e38F, 1e-45F};
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

// --decimals N: printf's %10.Nf with a blank before a full field, for every N the option takes.
TEST(DistanceFormat, AnyNumberOfDecimalsAsPrintf) {
    orvane::DistanceField field{};
    for (const double value : {0.0, -0.0, 0.0711117, 1.5e-07, -2.5, 0.125, 1e300, -123456.0078125, 5e-324}) {
        for (std::uint32_t decimals = 0; decimals <= orvane::most_decimals; ++decimals) {
            std::array<char, 400> expected{};
            const int length =
                std::snprintf(expected.data(), expected.size(), "%10.*f", static_cast<int>(decimals), value);
            const std::string printed(expected.data(), static_cast<std::size_t>(length));
            EXPECT_EQ(orvane::format_distance(value, field, decimals), printed.front() == ' ' ? printed : " " + printed)
                << value << " with " << decimals;
        }
    }
}

// Converting listed rows on a helper thread (mapped inputs, two cores) against reading every row
// here (a copied window): the same rows found, the same values, the same meter and the same
// reason to stop, on plain matrices and on every kind of row that must fall back to the one-core
// reading, with windows from one page (rows straddle every edge) to the whole file.
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
    // Values written as their input texts: some short, some far longer than the field.
    orvane::ValueTexts texts(ids.ids().slot_count());
    for (std::uint32_t slot = 0; slot < ids.ids().slot_count(); ++slot) {
        for (int column = 0; column < 200; ++column) {
            texts.row(slot).add(std::string(random() % 3 == 0 ? 1 + random() % 40 : 1 + random() % 9, '7'));
        }
    }
    for (const orvane::ValueFormat& format : {orvane::ValueFormat{}, orvane::ValueFormat{&texts, 6}}) {
        for (const orvane::Layout layout : {orvane::Layout::square, orvane::Layout::lower}) {
            std::vector<std::string> written;
            for (const threads::Cores cores : {threads::Cores::one, threads::Cores::two}) {
                const std::string name = std::to_string(static_cast<int>(cores));
                {
                    io::OutputFile matrix = *io::OutputFile::create((dir / ("matrix" + name)).string());
                    io::OutputFile sample = *io::OutputFile::create((dir / ("sample" + name)).string());
                    orvane::write_output_files(&matrix, &sample, ids, rows, io::Progress(), layout, format, cores);
                    ASSERT_TRUE(matrix.close() && sample.close());
                }
                written.push_back(dir.read("matrix" + name) + "|" + dir.read("sample" + name));
            }
            EXPECT_TRUE(written[0] == written[1]) << "layout " << static_cast<int>(layout);
            EXPECT_GT(written[0].size(), std::size_t{100000});
        }
    }
}

// Outputs of a few rows, over and over: the last rows are where the writer, waiting for the
// helper's row, must not take rows past the end to format ahead.
TEST(MatrixWritingDifferential, ShortOutputsEndWhereTheyEnd) {
    ScratchDir dir;
    for (const int count : {1, 2, 3, 5, 8, 300, 500}) {
        text::NameList listed;
        for (int id = 0; id < count; ++id) {
            listed.add("ID" + std::to_string(id));
        }
        orvane::IdTable ids(std::move(listed));
        orvane::DistanceRows<double> rows(ids.ids().slot_count(), static_cast<std::size_t>(count));
        orvane::ValueTexts texts(ids.ids().slot_count());
        for (std::uint32_t slot = 0; slot < ids.ids().slot_count(); ++slot) {
            ids.set_matrix_row(slot, static_cast<std::int32_t>(slot));
            for (int column = 0; column < count; ++column) {
                rows.row(slot)[column] = slot + column / 10.0;
                texts.row(slot).add(std::to_string(slot * 100 + static_cast<std::uint32_t>(column)));
            }
        }
        for (int round = 0; round < (count > 100 ? 12 : 40); ++round) {
            std::vector<std::string> written;
            for (const threads::Cores cores : {threads::Cores::one, threads::Cores::two}) {
                io::OutputFile matrix = *io::OutputFile::create((dir / "matrix").string());
                orvane::write_output_files(&matrix, nullptr, ids, rows, io::Progress(), orvane::Layout::lower,
                                           orvane::ValueFormat{round % 2 == 0 ? &texts : nullptr, 6}, cores);
                ASSERT_TRUE(matrix.close());
                written.push_back(dir.read("matrix"));
            }
            ASSERT_EQ(written[1], written[0]) << count << " rows";
        }
    }
}

}  // namespace
