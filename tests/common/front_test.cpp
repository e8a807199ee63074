#include "front/dialogue.hpp"
#include "project/version.hpp"
#include "support/session.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <map>
#include <optional>
#include <sstream>

namespace {

using console::Console;

struct Dialogue {
    std::istringstream in;
    std::ostringstream out;
    Console console{in, out};
    explicit Dialogue(std::string answers = "") : in(std::move(answers)) {}
};

TEST(Console, BannerIsAnEmptyLineThenFourLines) {
    Dialogue d;
    d.console.print_banner("\t\tORVANE v" ORVANE_TALMIRO_VERSION);
    EXPECT_EQ(d.out.str(), testing_support::banner("ORVANE"));
    EXPECT_EQ(d.out.str(),
              "\n\t*******************************************************\n\t\tORVANE v" ORVANE_TALMIRO_VERSION
              "\n"
              "\t*******************************************************\n"
              "For latest updates and help, please visit " +
                  std::string(project::homepage) + "\n");
}

TEST(Console, PromptReadsOneWordAndLeavesTheRest) {
    Dialogue d("   \n  first.txt second.txt\nthird\n");
    EXPECT_EQ(d.console.prompt_file_name("Name: "), "first.txt");
    EXPECT_EQ(d.console.prompt_file_name("Next: "), "second.txt");
    EXPECT_EQ(d.console.prompt_file_name("Last: "), "third");
    EXPECT_EQ(d.out.str(), "\nName: \nNext: \nLast: ");
}

TEST(Console, PromptReadsNamesOfAnyLengthWhole) {
    const std::string long_name(300, 'n');
    Dialogue d(long_name + "\n");
    EXPECT_EQ(d.console.prompt_file_name("Name: "), long_name);
}

TEST(Console, PromptAtEndOfInputGivesAnEmptyName) {
    Dialogue d("only\n");
    EXPECT_EQ(d.console.prompt_file_name("A: "), "only");
    EXPECT_EQ(d.console.prompt_file_name("B: "), "");
    EXPECT_EQ(d.console.prompt_file_name("C: "), "");
}

TEST(Console, AbortReportIsFramedByLineEnds) {
    Dialogue d;
    d.console.report_abort("File not found, aborting....");
    EXPECT_EQ(d.out.str(), "\nFile not found, aborting....\n");
}

TEST(Console, MeterRedrawsInPlace) {
    Dialogue d;
    d.console.meter().begin("Label... ");
    for (int item = 1; item <= 3; ++item) {
        d.console.meter().step("Label... ", console::percentage(item, 3));
    }
    EXPECT_EQ(d.out.str(), "\nLabel... 0%\rLabel... 33%\rLabel... 66%\rLabel... 100%");
}

// Counts how often the stream is pushed to its destination.
class FlushCounter : public std::stringbuf {
public:
    int flushes = 0;

protected:
    int sync() override {
        ++flushes;
        return std::stringbuf::sync();
    }
};

TEST(Console, MeterRedrawsAreThrottledButNothingWaitsBeforeARead) {
    FlushCounter counter;
    std::ostream out(&counter);
    std::istringstream in("y\nname\n");
    console::Meter::Instant now{};  // the injected clock: moves only when the test says
    Console console(in, out, [&] { return now; });
    console.meter().begin("L ");
    EXPECT_EQ(counter.flushes, 1) << "the meter appears at once";
    for (int step = 1; step <= 98; ++step) {
        console.meter().step("L ", step);
    }
    EXPECT_EQ(counter.flushes, 1) << "redraws within one interval share a flush";
    now += console::Meter::redraw_interval - std::chrono::milliseconds(1);
    console.meter().step("L ", 99);
    EXPECT_EQ(counter.flushes, 1) << "not yet an interval since the last flush";
    now += std::chrono::milliseconds(1);
    console.meter().step("L ", 99);
    EXPECT_EQ(counter.flushes, 2) << "an interval on, the redraw is pushed";
    const int before_last = counter.flushes;
    console.meter().step("L ", 100);
    EXPECT_EQ(counter.flushes, before_last + 1) << "a finished meter is shown at once";
    console.meter().step("L ", 150);
    const int before_question = counter.flushes;
    EXPECT_TRUE(console.confirm_continue("missing"));
    EXPECT_EQ(counter.flushes, before_question + 1);
    EXPECT_EQ(console.prompt_file_name("P: "), "name");
    EXPECT_EQ(counter.flushes, before_question + 2);
    std::string expected = "\nL 0%";
    for (int step = 1; step <= 99; ++step) {
        expected += "\rL " + std::to_string(step) + "%";
    }
    EXPECT_EQ(counter.str(), expected + "\rL 99%\rL 100%\rL 150%\nmissing\nContinue (y//n)? \nP: ");
}

// On a terminal the redraws within an interval are not written at all, so the terminal is not
// flooded; the screen still shows each state that lasts, the last one before the line ends,
// and 100% at once.
TEST(Console, OnATerminalRedrawsWithinAnIntervalAreSkippedButTheLastIsDrawn) {
    std::ostringstream out;
    console::Meter::Instant now{};  // the injected clock
    console::Meter meter(
        out, [&] { return now; }, console::Meter::Display::terminal);
    meter.begin("L ");
    for (int step = 1; step <= 50; ++step) {
        meter.step("L ", step);
    }
    now += console::Meter::redraw_interval;
    meter.step("L ", 51);
    for (int step = 52; step <= 60; ++step) {
        meter.step("L ", step);
    }
    meter.end_line();
    meter.begin("W ");
    meter.step("W ", 30);
    meter.step("W ", 100);
    meter.end_line();
    EXPECT_EQ(out.str(), "\nL 0%\rL 51%\rL 60%\n\nW 0%\rW 100%\n");
}

TEST(Console, PercentageTruncatesAndDoesNotWrapPast32Bits) {
    EXPECT_EQ(console::percentage(1, 3), 33);
    EXPECT_EQ(console::percentage(3, 2), 150);
    EXPECT_EQ(console::percentage(1, 2'000'000'000), 0);
    EXPECT_EQ(console::percentage(1'999'999'999, 2'000'000'000), 99);
    EXPECT_EQ(console::percentage(2'000'000'000, 2'000'000'000), 100);
}

struct AnswerCase {
    const char* typed;
    bool first;
    const char* next_word;  // what the following prompt then reads
};

class ContinueAnswer : public ::testing::TestWithParam<AnswerCase> {};

TEST_P(ContinueAnswer, OnlyYesContinuesAndOnlyOneCharacterIsTaken) {
    const AnswerCase& c = GetParam();
    Dialogue d(c.typed);
    EXPECT_EQ(d.console.confirm_continue("Sequence not found: x"), c.first);
    EXPECT_EQ(d.out.str(), "\nSequence not found: x\nContinue (y//n)? ");
    EXPECT_EQ(d.console.prompt_file_name("Next: "), c.next_word);
}

INSTANTIATE_TEST_SUITE_P(Answers, ContinueAnswer,
                         ::testing::Values(AnswerCase{"y\n", true, ""}, AnswerCase{"Y\n", true, ""},
                                           AnswerCase{"n\n", false, ""}, AnswerCase{"N\n", false, ""},
                                           AnswerCase{"q\n", false, ""}, AnswerCase{"  \n\n y\n", true, ""},
                                           AnswerCase{"yes\n", true, "es"}, AnswerCase{"", false, ""},
                                           AnswerCase{"   \n", false, ""}));

}  // namespace
