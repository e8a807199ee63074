// The readers room: rows converted alongside the scan, and pairs read in halves, held to the
// simple readings.
#include "front/dialogue.hpp"
#include "io/output_file.hpp"
#include "io/progress.hpp"
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
            // Batch mode keeps every value's text, which must be the value's own.
            orvane::ValueTexts texts(ids.ids().slot_count());
            std::ostringstream shown;
            console::Meter meter(shown);
            const auto stop = orvane::read_distance_matrix(
                reader, ids, declared, rows, strict ? &texts : nullptr,
                strict ? orvane::Strictness::whole_numbers : orvane::Strictness::as_the_stream, meter.progress(""),
                cores);
            std::string outcome = shown.str() + "|" + (stop ? stop->describe() : "whole") + "|";
            for (std::size_t position = 0; position < ids.size(); ++position) {
                const std::uint32_t slot = ids.ids().slot(position);
                outcome += std::to_string(ids.matrix_row(slot)) + ":";
                if (ids.found_at(position)) {
                    for (int column = 0; column < declared; ++column) {
                        outcome += std::to_string(rows.row(slot)[column]) + ",";
                        if (strict) {
                            const std::string kept(texts.row(slot).value(static_cast<std::size_t>(column)));
                            outcome += kept + ",";
                            EXPECT_EQ(std::stod(kept), rows.row(slot)[column]) << kept;
                        }
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
                EXPECT_TRUE(got == expected)
                    << "round " << round << ", window " << window << (strict ? ", strict" : "") << ": from byte "
                    << (differ.first - got.begin()) << " "
                    << got.substr(static_cast<std::size_t>(differ.first - got.begin()), 80) << " vs "
                    << expected.substr(static_cast<std::size_t>(differ.first - got.begin()), 80);
            }
        }
    }
}

// Every other output row formatted on a helper thread against every row formatted here, forced
// either way on any machine: the same bytes in both fixed-width layouts, the sample included.

// The cut of a pair list as a text (each found ID's row of distance texts), or the reading's
// failure.
std::string cut_of_pairs(const std::filesystem::path& file, const std::vector<std::string>& listed, bool excluding,
                         threads::Cores cores, std::size_t window = io::ReadBuffer::default_size) {
    text::NameList names;
    for (const std::string& id : listed) {
        names.add(id);
    }
    orvane::IdTable ids(std::move(names),
                        excluding ? orvane::IdTable::Listing::excluded : orvane::IdTable::Listing::taken);
    io::LineReader reader(*io::InputFile::open(file.string()), window,
                          window == 64 ? io::ReadBuffer::Access::copied : io::ReadBuffer::Access::mapped_when_possible);
    std::ostringstream shown;
    console::Meter meter(shown);
    std::optional<orvane::PairMatrix> matrix;
    if (const auto stop = orvane::read_pairs(reader, ids, true, meter.progress(""), matrix, cores)) {
        return stop->reason.find("no distance between") != std::string::npos ? "no distance" : stop->describe();
    }
    std::string got;
    for (std::size_t position = 0; position < ids.size(); ++position) {
        if (!ids.found_at(position)) {
            continue;
        }
        const std::uint32_t slot = ids.ids().slot(position);
        got += std::string(ids.ids().name(position)) + ":";
        for (std::size_t column = 0; column < ids.size(); ++column) {
            if (ids.found_at(column)) {
                const auto at = static_cast<std::size_t>(ids.matrix_row(ids.ids().slot(column)));
                const std::string cell(matrix->texts->row(slot).value(at));
                got += cell + ",";
                EXPECT_EQ(std::stod(cell), matrix->rows.row(slot)[at]);
            }
        }
    }
    return got;
}

}  // namespace

// Pair lists read line by line with the IDs' lookups cached, on one thread or in two halves at
// once, against a whole-text reference: for random lists of pairs (tab- or blank-separated, one
// order or both, repeated, in runs of one second ID, with extra fields, blank lines and CRLF), taking a list of IDs or
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
            // Some rounds run as mash dist writes: every first ID against one second ID, in the same
            // order run after run, bar every fourth run (shifted by one).
            const bool runs = round % 6 == 5;
            const int a = runs ? (line + (line / count % 4 == 3 ? 1 : 0)) % count
                               : static_cast<int>(random() % static_cast<unsigned>(count));
            const int b = runs             ? line / count
                          : round % 3 == 0 ? line % count
                                           : static_cast<int>(random() % static_cast<unsigned>(count));
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
                std::vector<std::string> names;
                for (const int id : listed) {
                    names.push_back(prefix + std::to_string(id));
                }
                const std::string got = cut_of_pairs(dir / "pairs", names, excluding, cores, window);
                EXPECT_EQ(got, expected) << "round " << round << ", window " << window
                                         << (excluding ? ", excluding" : "")
                                         << (cores == threads::Cores::two ? ", two halves" : "") << "\n"
                                         << text;
            }
    }
}

// Handmade lists the halves must read as one pass does: a first pair line led by a tab (the list
// then splits at blanks, in both halves), lines cut by the halves' megabyte reads, a line longer
// than a read, CRLF and no last line break.
TEST(PairReadingDifferential, HalvesReadHandmadeListsAsOnePass) {
    ScratchDir dir;
    std::string filler;
    for (int line = 0; line < 3000; ++line) {
        filler += "A\tB\t0.1\n";
    }
    std::string wide;  // 80 IDs of 100 bytes, every pair, extra fields: 2.7 MB
    const auto wide_id = [](int id) { return std::string(96, 'g') + std::to_string(1000 + id); };
    for (int first = 0; first < 80; ++first) {
        for (int second = 0; second < 80; ++second) {
            wide += wide_id(first) + "\t" + wide_id(second) + "\t0." + std::to_string(first * 80 + second + 1) + "\t" +
                    std::string(200, 'x') + (second % 5 == 0 ? "\r\n" : "\n");
        }
    }
    struct Case {
        std::string name;
        std::string text;
        std::vector<std::string> listed;
    };
    const std::vector<Case> cases = {
        {"a first line led by a tab", "\tA\tB\t0.1\n" + filler + "X y\tB\t0.3\n", {"A", "B"}},
        {"lines cut by the reads", wide, {wide_id(3), wide_id(77), wide_id(40)}},
        {"a line longer than a read",
         filler + "C\tD\t0.2\t" + std::string(std::size_t{3} << 19, 'x') + "\n" + filler + "A\tD\t0.4\nB\tD\t0.5",
         {"D", "A", "B"}},
        {"CRLF, no last line break", "A\tB\t0.1\r\n" + filler + "B\tC\t0.7\r\nA\tC\t0.2\r", {"C", "A", "B"}},
    };
    for (const Case& one : cases) {
        dir.write("pairs", one.text);
        const std::string once = cut_of_pairs(dir / "pairs", one.listed, false, threads::Cores::one);
        EXPECT_EQ(cut_of_pairs(dir / "pairs", one.listed, false, threads::Cores::two), once) << one.name;
        EXPECT_NE(once.find(one.name == "a first line led by a tab" ? "'B' is no number" : "0."), std::string::npos)
            << one.name << ": " << once;
    }
}

// The meter follows the listed cells, not the lines: a list whose listed pairs come first draws
// each percentage once, not 100% again for every line after them.
TEST(PairReadingMeter, DrawsEachPercentageOnceHoweverLongTheListGoesOn) {
    ScratchDir dir;
    std::string text = "A\tB\t0.1\n";
    for (int line = 0; line < 5000; ++line) {
        text += "X" + std::to_string(line) + "\tY\t0.5\n";
    }
    dir.write("pairs", text);
    text::NameList names;
    names.add("A");
    names.add("B");
    orvane::IdTable ids(std::move(names), orvane::IdTable::Listing::taken);
    io::LineReader reader(*io::InputFile::open((dir / "pairs").string()));
    std::ostringstream shown;
    console::Meter meter(
        shown, [] { return console::Meter::Instant{}; }, console::Meter::Display::transcript);
    std::optional<orvane::PairMatrix> matrix;
    ASSERT_FALSE(orvane::read_pairs(reader, ids, true, meter.progress("P "), matrix, threads::Cores::one));
    EXPECT_EQ(shown.str(), "\nP 0%\rP 50%\rP 100%");
}
