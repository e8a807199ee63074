// Whole orvane sessions, in-process and through the built binary, compared byte for byte.
#include "support/session.hpp"
#include "orvane/app/run.hpp"
#include "project/version.hpp"
#include "support/compression.hpp"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>
#include <algorithm>
#include <chrono>
#include <csignal>
#include <functional>
#include <random>
#include <string>
#include <vector>

namespace {

using namespace testing_support;

const std::string reading_label = "Reading INPUT distance matrix file. Completed... ";
const std::string writing_label = "Writing OUTPUT files. Completed... ";

std::string list_prompt() { return "\nEnter sequence list TEXT file name: "; }
std::string count_line(long long count) { return "\nList file contains " + std::to_string(count) + " entries.\n"; }
std::string matrix_prompt() { return "\nEnter the INPUT distance matrix file name: "; }
std::string order_line(long long order) { return "\nDistance Matrix order is " + std::to_string(order) + ".\n"; }
std::string reading(const std::vector<long long>& percentages) { return meter(reading_label, percentages) + "\n"; }
std::string missing(const std::string& id) {
    return "\nSequence ID " + id + " not found in Matrix.\nContinue (y//n)? ";
}
std::string output_prompts() { return "\nEnter OUTPUT distance matrix file name: \nEnter OUTPUT Sample file name: "; }
std::string writing(const std::vector<long long>& percentages) { return meter(writing_label, percentages) + "\n"; }
std::string success() {
    return "\nSuccessfully written OUTPUT matrix file.\nSuccessfully written OUTPUT Sample file...Exiting now...\n";
}
std::string aborted(const std::string& message) { return "\n" + message + "\n"; }

const std::string file_not_found = "File not found, aborting....";
const std::string memory_failed = "Memory allocation failed, aborting....";
const std::string unable_to_create = "Unable to create file, aborting.....";

// The list Q, P against the rows P, Q, R: the worked example every variation starts from.
const std::string pqr_matrix = "3\nP 0 1 2\nQ 1 0 3\nR 2 3 0\n";
const std::string all_answers = "list.txt\nmatrix.txt\nout.txt\nsample.txt\n";

// The continue answers come between the input names and the output names.
std::string answering(const std::string& continue_answers) {
    return "list.txt\nmatrix.txt\n" + continue_answers + "out.txt\nsample.txt\n";
}
const std::string qp_output = "    2\nQ           0.000000  1.000000\nP           1.000000  0.000000\n";
const std::string qp_sample = "  0.000000  1.000000\n  1.000000  0.000000\n";
// Batch mode writes each value as the matrix wrote it.
const std::string qp_cut = "    2\nQ                  0         1\nP                  1         0\n";
const std::string qp_cut_sample = "         0         1\n         1         0\n";

std::string start(long long count, long long order) {
    return banner("ORVANE") + list_prompt() + count_line(count) + matrix_prompt() + order_line(order);
}

std::vector<long long> every_percent() {
    std::vector<long long> percents;
    for (long long percent = 0; percent <= 100; ++percent) {
        percents.push_back(percent);
    }
    return percents;
}

std::vector<Scenario> scenarios() {
    const std::string qp_success =
        start(2, 3) + reading({33, 66, 100}) + output_prompts() + writing({50, 100}) + success();
    std::vector<Scenario> all = {
        {"worked_example",
         {{"list.txt", "Q\nP\n"}, {"matrix.txt", pqr_matrix}},
         all_answers,
         qp_success,
         {{"out.txt", qp_output}, {"sample.txt", qp_sample}}},
        {"rows_and_list_spread_over_lines",
         {{"list.txt", "\n  Q \t\n\n P"}, {"matrix.txt", "  3 P\n0\n1 2 Q 1\n0 3\n\nR 2 3 0"}},
         all_answers,
         qp_success,
         {{"out.txt", qp_output}, {"sample.txt", qp_sample}}},
        // PHYLIP's 10-character name field, a name touching its first value: read as PHYLIP reads
        // it, where the rows do not read as a name and numbers.
        {"names_in_phylips_field",
         {{"list.txt", "catcatcatc\nP\n"}, {"matrix.txt", "3\ncatcatcatc0 1 3\nP         1 0 2\nR         3 2 0\n"}},
         all_answers,
         qp_success,
         {{"out.txt", "    2\ncatcatcatc  0.000000  1.000000\nP           1.000000  0.000000\n"},
          {"sample.txt", qp_sample}}},
        {"crlf_files",
         {{"list.txt", "Q\r\nP\r\n"}, {"matrix.txt", "3\r\nP 0 1 2\r\nQ 1 0 3\r\nR 2 3 0\r\n"}},
         all_answers,
         qp_success,
         {{"out.txt", qp_output}, {"sample.txt", qp_sample}}},
        {"answers_on_one_line_with_blanks",
         {{"list.txt", "Q P"}, {"matrix.txt", pqr_matrix}},
         "  list.txt matrix.txt\n\n out.txt\tsample.txt",
         qp_success,
         {{"out.txt", qp_output}, {"sample.txt", qp_sample}}},
        {"outputs_replace_the_inputs",
         {{"list.txt", "Q\nP\n"}, {"matrix.txt", pqr_matrix}},
         "list.txt\nmatrix.txt\nlist.txt\nmatrix.txt\n",
         qp_success,
         {{"list.txt", qp_output}, {"matrix.txt", qp_sample}}},
        {"list_file_missing", {}, "nothing.txt\n", banner("ORVANE") + list_prompt() + aborted(file_not_found), {}},
        {"list_file_is_a_folder",
         {{"sub/x", ""}},
         "sub\n",
         banner("ORVANE") + list_prompt() + aborted(file_not_found),
         {}},
        {"matrix_file_missing",
         {{"list.txt", "Q\n"}},
         "list.txt\nnothing.txt\n",
         banner("ORVANE") + list_prompt() + count_line(1) + matrix_prompt() + aborted(file_not_found),
         {}},
        {"negative_order_with_a_list",
         {{"list.txt", "Q\n"}, {"matrix.txt", "-3\nP 0 1 2\n"}},
         all_answers,
         start(1, -3) + aborted(memory_failed),
         {}},
        {"negative_order_with_an_empty_list",
         {{"list.txt", ""}, {"matrix.txt", "-3\nP 0 1 2\n"}},
         all_answers,
         start(0, -3) + reading({}) + output_prompts() + writing({}) + success(),
         {{"out.txt", "    0\n"}, {"sample.txt", ""}}},
        {"output_folder_missing",
         {{"list.txt", "Q\nP\n"}, {"matrix.txt", pqr_matrix}},
         "list.txt\nmatrix.txt\nnowhere/out.txt\nsample.txt\n",
         start(2, 3) + reading({33, 66, 100}) +
             "\nEnter OUTPUT distance matrix file name: " + aborted(unable_to_create),
         {}},
        {"an_existing_matrix_output_is_kept_when_the_sample_cannot_be_created",
         {{"list.txt", "Q\nP\n"}, {"matrix.txt", pqr_matrix}, {"out.txt", "kept"}},
         "list.txt\nmatrix.txt\nout.txt\nnowhere/sample.txt\n",
         start(2, 3) + reading({33, 66, 100}) + output_prompts() + aborted(unable_to_create),
         {{"out.txt", "kept"}}},
        {"a_byte_order_mark_is_not_part_of_the_first_id",
         {{"list.txt", "\xEF\xBB\xBFQ\nP\n"}, {"matrix.txt", pqr_matrix}},
         all_answers,
         qp_success,
         {{"out.txt", qp_output}, {"sample.txt", qp_sample}}},
        {"sample_folder_missing_leaves_the_matrix_output_empty",
         {{"list.txt", "Q\nP\n"}, {"matrix.txt", pqr_matrix}},
         "list.txt\nmatrix.txt\nout.txt\nnowhere/sample.txt\n",
         start(2, 3) + reading({33, 66, 100}) + output_prompts() + aborted(unable_to_create),
         {{"out.txt", ""}}},
        {"empty_list_reads_the_whole_matrix",
         {{"list.txt", " \n\n"}, {"matrix.txt", pqr_matrix}},
         all_answers,
         start(0, 3) + reading({33, 66, 100}) + output_prompts() + writing({}) + success(),
         {{"out.txt", "    0\n"}, {"sample.txt", ""}}},
        {"first_token_not_an_integer",
         {{"list.txt", "Q P"}, {"matrix.txt", "three\nP 0 1 2\n"}},
         answering("y\ny\n"),
         start(2, 0) + reading({}) + missing("Q") + missing("P") + output_prompts() + writing({}) + success(),
         {{"out.txt", "    0\n"}, {"sample.txt", ""}}},
        {"order_beyond_32_bits_reads_as_zero",
         {{"list.txt", "Q"}, {"matrix.txt", "3000000000\nQ 0\n"}},
         answering("n\n"),
         start(1, 0) + reading({}) + missing("Q"),
         {}},
        {"refusal_at_the_first_missing_id",
         {{"list.txt", "X P Y"}, {"matrix.txt", pqr_matrix}},
         answering("n\n"),
         start(3, 3) + reading({33, 66, 100}) + missing("X"),
         {}},
        {"refusal_at_a_later_missing_id",
         {{"list.txt", "X P Y"}, {"matrix.txt", pqr_matrix}},
         "list.txt matrix.txt y N out.txt",
         start(3, 3) + reading({33, 66, 100}) + missing("X") + missing("Y"),
         {}},
        {"yes_leaves_es_for_the_output_prompt",
         {{"list.txt", "P X"}, {"matrix.txt", pqr_matrix}},
         "list.txt matrix.txt yes sample.txt",
         start(2, 3) + reading({33, 66, 100}) + missing("X") + output_prompts() + writing({50}) + success(),
         {{"es", "    1\nP           0.000000\n"}, {"sample.txt", "  0.000000\n"}}},
        {"second_of_four_missing",
         {{"list.txt", "P X Q R"}, {"matrix.txt", pqr_matrix}},
         answering("Y\n"),
         start(4, 3) + reading({33, 66, 100}) + missing("X") + output_prompts() + writing({25, 75, 100}) + success(),
         {{"out.txt",
           "    3\nP           0.000000  1.000000  2.000000\nQ           1.000000  0.000000  3.000000\n"
           "R           2.000000  3.000000  0.000000\n"},
          {"sample.txt",
           "  0.000000  1.000000  2.000000\n  1.000000  0.000000  3.000000\n  2.000000  3.000000  0.000000\n"}}},
        {"last_of_four_missing_stops_the_meter_at_75",
         {{"list.txt", "R Q P X"}, {"matrix.txt", pqr_matrix}},
         answering("y\n"),
         start(4, 3) + reading({33, 66, 100}) + missing("X") + output_prompts() + writing({25, 50, 75}) + success(),
         {{"out.txt",
           "    3\nR           0.000000  3.000000  2.000000\nQ           3.000000  0.000000  1.000000\n"
           "P           2.000000  1.000000  0.000000\n"},
          {"sample.txt",
           "  0.000000  3.000000  2.000000\n  3.000000  0.000000  1.000000\n  2.000000  1.000000  0.000000\n"}}},
        {"ids_compare_exactly",
         {{"list.txt", "seq1 AB"}, {"matrix.txt", "2\nSEQ1 0 1\nABC 1 0\n"}},
         answering("y\nn\n"),
         start(2, 2) + reading({50, 100}) + missing("seq1") + missing("AB"),
         {}},
        {"later_row_of_the_same_name_wins",
         {{"list.txt", "P"}, {"matrix.txt", "3\nP 0 1 2\nQ 1 0 3\nP 9 8 7\n"}},
         all_answers,
         start(1, 3) + reading({33, 66, 100}) + output_prompts() + writing({100}) + success(),
         {{"out.txt", "    1\nP           7.000000\n"}, {"sample.txt", "  7.000000\n"}}},
        {"asymmetric_matrix_keeps_its_orientation",
         {{"list.txt", "B A"}, {"matrix.txt", "2 A 0 0.25 B 0.75 0"}},
         all_answers,
         start(2, 2) + reading({50, 100}) + output_prompts() + writing({50, 100}) + success(),
         {{"out.txt", "    2\nB           0.000000  0.750000\nA           0.250000  0.000000\n"},
          {"sample.txt", "  0.000000  0.750000\n  0.250000  0.000000\n"}}},
        {"numbers_as_the_stream_reads_them",
         {{"list.txt", "P"}, {"matrix.txt", "2 P +1.5e-1 -.5 Q x y"}},
         all_answers,
         start(1, 2) + reading({50, 100}) + output_prompts() + writing({100}) + success(),
         {{"out.txt", "    1\nP           0.150000\n"}, {"sample.txt", "  0.150000\n"}}},
        {"junk_glued_to_a_distance_becomes_the_next_name",
         {{"list.txt", "P x2"}, {"matrix.txt", "2\nP 0 0.5x2 0.5 0\n"}},
         all_answers,
         start(2, 2) + reading({50, 100}) + output_prompts() + writing({50, 100}) + success(),
         {{"out.txt", "    2\nP           0.000000  0.500000\nx2          0.500000  0.000000\n"},
          {"sample.txt", "  0.000000  0.500000\n  0.500000  0.000000\n"}}},
        // Changes from the original behaviour, one scenario each.
        {"ids_of_any_length_are_held_whole",
         {{"list.txt", "ABCDEFGHIJ ABCDEFGHIJK NC_000913.3_chromosome_full"},
          {"matrix.txt", "3\nNC_000913.3_chromosome_full 0 0.1 0.2\nABCDEFGHIJ 0.1 0 0.3\nABCDEFGHIJK 0.2 0.3 0\n"}},
         all_answers,
         start(3, 3) + reading({33, 66, 100}) + output_prompts() + writing({33, 66, 100}) + success(),
         {{"out.txt",
           "    3\nABCDEFGHIJ  0.000000  0.300000  0.100000\nABCDEFGHIJK  0.300000  0.000000  0.200000\n"
           "NC_000913.3_chromosome_full  0.100000  0.200000  0.000000\n"},
          {"sample.txt",
           "  0.000000  0.300000  0.100000\n  0.300000  0.000000  0.200000\n"
           "  0.100000  0.200000  0.000000\n"}}},
        {"an_id_listed_twice_is_found_at_both_places",
         {{"list.txt", "P Q P"}, {"matrix.txt", pqr_matrix}},
         all_answers,
         start(3, 3) + reading({33, 66, 100}) + output_prompts() + writing({33, 66, 100}) + success(),
         {{"out.txt",
           "    3\nP           0.000000  1.000000  0.000000\nQ           1.000000  0.000000  1.000000\n"
           "P           0.000000  1.000000  0.000000\n"},
          {"sample.txt",
           "  0.000000  1.000000  0.000000\n  1.000000  0.000000  1.000000\n"
           "  0.000000  1.000000  0.000000\n"}}},
        {"a_row_cut_short_by_the_end_of_file_is_not_found",
         {{"list.txt", "Q P"}, {"matrix.txt", "3\nP 0 1 2\nQ 1 0"}},
         answering("y\n"),
         start(2, 3) + reading({33, 66, 100}) + missing("Q") + output_prompts() + writing({100}) + success(),
         {{"out.txt", "    1\nP           0.000000\n"}, {"sample.txt", "  0.000000\n"}}},
        // Several distances missing: the ones after the first were never set, and memcheck (in
        // the valgrind run of these sessions) sees it should any of them be written.
        {"a_row_missing_several_distances_is_not_found",
         {{"list.txt", "Q P R"}, {"matrix.txt", "3\nP 0 1 2\nR 2 3 0\nQ 1"}},
         answering("y\n"),
         start(3, 3) + reading({33, 66, 100}) + missing("Q") + output_prompts() + writing({66, 100}) + success(),
         {{"out.txt", "    2\nP           0.000000  1.000000\nR           2.000000  3.000000\n"},
          {"sample.txt", "  0.000000  1.000000\n  2.000000  3.000000\n"}}},
        {"a_row_with_a_word_for_a_distance_is_not_found",
         {{"list.txt", "Q P R"}, {"matrix.txt", "3\nP 0 1 2\nQ 1 n/a 3\nR 2 3 0\n"}},
         answering("y\ny\n"),
         start(3, 3) + reading({33, 66, 100}) + missing("Q") + missing("R") + output_prompts() + writing({66}) +
             success(),
         {{"out.txt", "    1\nP           0.000000\n"}, {"sample.txt", "  0.000000\n"}}},
        {"a_matrix_with_fewer_rows_than_declared",
         {{"list.txt", "P R"}, {"matrix.txt", "4\nP 0 1 2 3\nQ 1 0 3 4\n"}},
         answering("n\n"),
         start(2, 4) + reading({25, 50, 75, 100}) + missing("R"),
         {}},
        {"wide_values_never_touch",
         {{"list.txt", "A B C"}, {"matrix.txt", "3\nA 0 100 -10\nB 100 0 1234.5\nC -10 1234.5 -0.5\n"}},
         all_answers,
         start(3, 3) + reading({33, 66, 100}) + output_prompts() + writing({33, 66, 100}) + success(),
         {{"out.txt",
           "    3\nA           0.000000 100.000000 -10.000000\nB          100.000000  0.000000 1234.500000\n"
           "C          -10.000000 1234.500000 -0.500000\n"},
          {"sample.txt",
           "  0.000000 100.000000 -10.000000\n 100.000000  0.000000 1234.500000\n"
           " -10.000000 1234.500000 -0.500000\n"}}},
        {"same_file_for_both_outputs_is_refused",
         {{"list.txt", "Q P"}, {"matrix.txt", pqr_matrix}},
         "list.txt matrix.txt out.txt ./out.txt",
         start(2, 3) + reading({33, 66, 100}) + output_prompts() +
             aborted("Output files must be different, aborting....."),
         {{"out.txt", ""}}},
        {"input_ending_before_the_list_name", {}, "", banner("ORVANE") + list_prompt() + aborted(file_not_found), {}},
        {"input_ending_before_the_output_name",
         {{"list.txt", "Q P"}, {"matrix.txt", pqr_matrix}},
         "list.txt matrix.txt",
         start(2, 3) + reading({33, 66, 100}) +
             "\nEnter OUTPUT distance matrix file name: " + aborted(unable_to_create),
         {}},
        {"input_ending_before_a_continue_answer_is_no",
         {{"list.txt", "X"}, {"matrix.txt", pqr_matrix}},
         "list.txt matrix.txt",
         start(1, 3) + reading({33, 66, 100}) + missing("X"),
         {}},
    };
    const std::string long_name(150, 'L');
    all.push_back({"file_names_of_any_length",
                   {{long_name, "Q P"}, {"matrix.txt", pqr_matrix}},
                   long_name + " matrix.txt " + long_name + ".out sample.txt",
                   qp_success,
                   {{long_name + ".out", qp_output}, {"sample.txt", qp_sample}}});
    const std::string write_failed = aborted("Unable to write file, aborting.....");
    all.push_back({"a_matrix_output_that_cannot_be_written",
                   {{"list.txt", "Q P"}, {"matrix.txt", pqr_matrix}},
                   "list.txt matrix.txt /dev/full sample.txt",
                   start(2, 3) + reading({33, 66, 100}) + output_prompts() + writing({50, 100}) + write_failed,
                   {{"sample.txt", qp_sample}}});
    all.push_back({"a_sample_output_that_cannot_be_written",
                   {{"list.txt", "Q P"}, {"matrix.txt", pqr_matrix}},
                   "list.txt matrix.txt out.txt /dev/full",
                   start(2, 3) + reading({33, 66, 100}) + output_prompts() + writing({50, 100}) + write_failed,
                   {{"out.txt", qp_output}}});
    all.push_back({"dev_null_may_take_both_outputs",
                   {{"list.txt", "Q P"}, {"matrix.txt", pqr_matrix}},
                   "list.txt matrix.txt /dev/null /dev/null",
                   qp_success,
                   {}});
    std::vector<long long> rest = every_percent();
    all.push_back({"a_huge_declared_order_over_a_tiny_file_finishes_at_once",
                   {{"list.txt", ""}, {"matrix.txt", "2000000000\nP 0.5 0.25\n"}},
                   all_answers,
                   start(0, 2000000000) +
                       [&] {
                           std::vector<long long> drawn = {0};
                           drawn.insert(drawn.end(), rest.begin(), rest.end());
                           return reading(drawn);
                       }() +
                       output_prompts() + writing({}) + success(),
                   {{"out.txt", "    0\n"}, {"sample.txt", ""}}});
    all.push_back({"a_huge_declared_order_with_a_listed_id",
                   {{"list.txt", "P"}, {"matrix.txt", "2000000000\nP 0.5 0.25\n"}},
                   answering("n\n"),
                   start(1, 2000000000) +
                       [&] {
                           std::vector<long long> drawn = {0};
                           drawn.insert(drawn.end(), rest.begin(), rest.end());
                           return reading(drawn);
                       }() +
                       missing("P"),
                   {}});
    return all;
}

class OrvaneSession : public ::testing::TestWithParam<std::tuple<Scenario, Mode>> {};

TEST_P(OrvaneSession, TranscriptAndFilesMatch) {
    const auto& [scenario, mode] = GetParam();
    expect_scenario(scenario, mode, orvane::run, ORVANE_BINARY);
}

INSTANTIATE_TEST_SUITE_P(Orvane, OrvaneSession,
                         ::testing::Combine(::testing::ValuesIn(scenarios()),
                                            ::testing::Values(Mode::in_process, Mode::binary)),
                         [](const auto& test_info) {
                             return scenario_test_name(std::get<0>(test_info.param), std::get<1>(test_info.param));
                         });

// Refused before writing begins, so the user's file keeps what it held.
TEST(OrvaneSessionOutputs, TheSameFileReachedThroughALinkIsRefusedAndKept) {
    ScratchDir dir;
    dir.write("list.txt", "Q P");
    dir.write("matrix.txt", pqr_matrix);
    dir.write("out.txt", "old content");
    fs::create_symlink("out.txt", dir / "link.txt");
    const ProcessResult result = run_process(ORVANE_BINARY, "list.txt matrix.txt out.txt link.txt", dir.path());
    EXPECT_EQ(result.exit_status, 0);
    EXPECT_EQ(result.output, start(2, 3) + reading({33, 66, 100}) + output_prompts() +
                                 aborted("Output files must be different, aborting....."));
    EXPECT_EQ(dir.read("out.txt"), "old content");
}

// How quickly it ends is a bench row (bench/limits); here, that it ends as a short file does:
// the rows it lacks are not found.
TEST(OrvaneSessionLimits, AHugeDeclaredOrderEndsAsAShortFile) {
    ScratchDir dir;
    dir.write("list.txt", "P");
    dir.write("matrix.txt", "2000000000\nP 0.5 0.25\n");
    const ProcessResult result = run_process(ORVANE_BINARY, "list.txt matrix.txt n", dir.path());
    EXPECT_EQ(result.exit_status, 0);
    EXPECT_TRUE(result.output.ends_with("Sequence ID P not found in Matrix.\nContinue (y//n)? ")) << result.output;
}

#ifndef UNDER_SANITIZERS
// The list is counted and the count shown before the table that cannot be had is refused.
TEST(OrvaneSessionLimits, AListTooLargeForMemoryAbortsAfterTheCount) {
    ScratchDir dir;
    std::string list;
    constexpr int ids = 3'000'000;
    for (int id = 0; id < ids; ++id) {
        list += "ID" + std::to_string(id) + '\n';
    }
    dir.write("list.txt", list);
    const ProcessResult result = run_process(ORVANE_BINARY, "list.txt", dir.path(), rlim_t{96} << 20);
    EXPECT_EQ(result.exit_status, 0);
    EXPECT_EQ(result.output, banner("ORVANE") + list_prompt() + count_line(ids) + aborted(memory_failed));
}

TEST(OrvaneSessionLimits, DistanceRowsTooLargeForMemoryAbort) {
    ScratchDir dir;
    dir.write("list.txt", "P Q");
    dir.write("matrix.txt", "1000000000\nP 0\n");
    const ProcessResult result = run_process(ORVANE_BINARY, "list.txt matrix.txt", dir.path(), rlim_t{512} << 20);
    EXPECT_EQ(result.exit_status, 0);
    EXPECT_EQ(result.output, start(2, 1000000000) + aborted(memory_failed));
}
#endif

// Batch mode through the built binary.
std::vector<std::string> arguments(std::vector<std::string> extra) {
    std::vector<std::string> all = {"-l", "list.txt", "-i", "matrix.txt", "-o", "out.txt"};
    all.insert(all.end(), extra.begin(), extra.end());
    return all;
}
const std::string usage_hint = "Try 'orvane --help' for more information.\n";

const std::string two_data_sets = "2\nP 0 1\nQ 1 0\n2\nQ 0 2\nP 2 0\n";
const std::string two_data_sets_long = "2\nHomo_sapiens_x 0 1\nHomo_sapie 1 0\n2\nHomo_sapie 0 2\nHomo_sapiens_x 2 0\n";
const std::string mash_pairs =
    "A\tA\t0\t1\t1000/1000\nB\tA\t0.10\t0\t5/1000\nC\tA\t0.2\t0\t3/1000\n"
    "A\tB\t0.10\t0\t5/1000\nC\tB\t0.3\t0\t1/1000\n";
const std::string r_table = "\"A\" \"B\" \"C\"\n\"A\" 0 0.1 0.2\n\"B\" 0.1 0 0.3\n\"C\" 0.2 0.3 0\n";

std::vector<BatchScenario> batch_scenarios() {
    const Files inputs = {{"list.txt", "Q\nP\n"}, {"matrix.txt", pqr_matrix}};
    const auto with = [&](const std::string& matrix, const std::string& list = "Q\nP\n") {
        return Files{{"list.txt", list}, {"matrix.txt", matrix}, {"out.txt", "kept"}};
    };
    return {
        {"matrix_and_sample",
         inputs,
         arguments({"-s", "sample.txt"}),
         "",
         0,
         "",
         "",
         {{"out.txt", qp_cut}, {"sample.txt", qp_cut_sample}}},
        {"no_sample_unless_asked", inputs, arguments({}), "", 0, "", "", {{"out.txt", qp_cut}}},
        {"long_options",
         inputs,
         {"--list=list.txt", "--input", "matrix.txt", "--output=out.txt", "--sample", "s.txt"},
         "",
         0,
         "",
         "",
         {{"out.txt", qp_cut}, {"s.txt", qp_cut_sample}}},
        {"matrix_as_an_argument_to_standard_output", inputs, {"-l", "list.txt", "matrix.txt"}, "", 0, qp_cut, "", {}},
        {"ids_from_a_column",
         {{"list.txt", "#id\tdepth\nQ\t3\nP 9\n"}, {"matrix.txt", pqr_matrix}},
         {"-l", "list.txt", "matrix.txt", "--list-column", "1", "--allow-missing"},
         "",
         0,
         qp_cut,
         "orvane: warning: '#id' not found in 'matrix.txt'\n",
         {}},
        {"list_from_standard_input",
         {{"matrix.txt", pqr_matrix}},
         {"-l", "-", "-i", "matrix.txt", "-o", "out.txt"},
         "Q P",
         0,
         "",
         "",
         {{"out.txt", qp_cut}}},
        {"matrix_from_standard_input_to_standard_output",
         {{"list.txt", "Q P"}},
         {"-l", "list.txt", "-i", "-", "-o", "-"},
         pqr_matrix,
         0,
         qp_cut,
         "",
         {}},
        {"sample_to_standard_output", inputs, arguments({"-s", "-"}), "", 0, qp_cut_sample, "", {{"out.txt", qp_cut}}},
        {"values_written_as_read",
         {{"list.txt", "A B"}, {"matrix.txt", "2\nA 0 1.5e-07\nB 0.0711117 12345.67890123\n"}},
         arguments({"-s", "sample.txt"}),
         "",
         0,
         "",
         "",
         {{"out.txt", "    2\nA                  0   1.5e-07\nB          0.0711117 12345.67890123\n"},
          {"sample.txt", "         0   1.5e-07\n 0.0711117 12345.67890123\n"}}},
        {"decimals_as_asked",
         {{"list.txt", "A B"}, {"matrix.txt", "2\nA 0 1.5e-07\nB 0.0711117 12345.67890123\n"}},
         arguments({"--decimals", "6", "--output-format", "lower", "-s", "sample.txt"}),
         "",
         0,
         "",
         "",
         {{"out.txt", "    2\nA         \nB           0.071112\n"},
          {"sample.txt", "  0.000000  0.000000\n  0.071112 12345.678901\n"}}},
        {"decimals_in_a_table",
         {{"list.txt", "A B"}, {"matrix.txt", "2\nA 0 1.5e-07\nB 0.0711117 12345.67890123\n"}},
         arguments({"--decimals", "2", "--output-format", "csv"}),
         "",
         0,
         "",
         "",
         {{"out.txt", ",A,B\nA,0.00,0.00\nB,0.07,12345.68\n"}}},
        {"missing_ids_fail_before_any_output",
         with(pqr_matrix, "X P Y\x01"),
         arguments({"-s", "sample.txt"}),
         "",
         1,
         "",
         "orvane: 'X' not found in 'matrix.txt'\norvane: 'Y\\x01' not found in 'matrix.txt'\n",
         {}},
        {"missing_ids_allowed_are_warnings",
         {{"list.txt", "X P"}, {"matrix.txt", pqr_matrix}},
         arguments({"--allow-missing"}),
         "",
         0,
         "",
         "orvane: warning: 'X' not found in 'matrix.txt'\n",
         {{"out.txt", "    1\nP                  0\n"}}},
        {"verbose_counts",
         inputs,
         arguments({"-v"}),
         "",
         0,
         "",
         "orvane: list entries: 2\norvane: index not used for 'matrix.txt': no 'matrix.txt.oix' beside it\n"
         "orvane: matrix order: 3\norvane: found: 2\norvane: missing: 0\norvane: written: 2\n"
         "orvane: data sets: 1\n",
         {{"out.txt", qp_cut}}},
        // Labelled tables whose names are numbers, as R writes them, with and without the corner.
        {"table_named_by_numbers_with_a_corner",
         with("\t1\t2\n1\t0\t5\n2\t5\t0\n", "2"),
         arguments({}),
         "",
         0,
         "",
         "",
         {{"out.txt", "\t2\n2\t0\n"}}},
        {"table_named_by_numbers_as_r_writes_it",
         with("1\t2\t3\n1\t0\t5\t7\n2\t5\t0\t4\n3\t7\t4\t0\n", "3 1"),
         arguments({}),
         "",
         0,
         "",
         "",
         {{"out.txt", "\t3\t1\n3\t0\t7\n1\t7\t0\n"}}},
        {"order_with_junk",
         with("3x\nP 0\n"),
         arguments({}),
         "",
         1,
         "",
         "orvane: 'matrix.txt' line 1: '3x' is no matrix order (a whole number of 32 bits)\n",
         {}},
        {"order_past_32_bits",
         with("99999999999\nP 0\n"),
         arguments({}),
         "",
         1,
         "",
         "orvane: 'matrix.txt' line 1: the order 99999999999 is too large\n",
         {}},
        {"byte_order_mark_before_a_square_matrix",
         with("\xEF\xBB\xBF" + pqr_matrix),
         arguments({}),
         "",
         0,
         "",
         "",
         {{"out.txt", qp_cut}}},
        {"byte_order_mark_before_a_lower_triangle",
         with("\xEF\xBB\xBF"
              "3\nP\nQ 1\nR 2 3\n"),
         arguments({"--output-format", "square"}),
         "",
         0,
         "",
         "",
         {{"out.txt", qp_cut}}},
        {"an_id_listed_twice_is_written_twice_with_one_warning",
         with(pqr_matrix, "Q R Q\nQ\n"),
         {"-l", "list.txt", "-i", "matrix.txt", "-o", "-", "--output-format", "tsv"},
         "",
         0,
         "\tQ\tR\tQ\tQ\nQ\t0\t3\t0\t0\nR\t3\t0\t3\t3\nQ\t0\t3\t0\t0\nQ\t0\t3\t0\t0\n",
         "orvane: warning: 'Q' is listed 3 times: it is written at each place\n",
         {{"out.txt", "kept"}}},
        // Several data sets, as PHYLIP's programs write bootstrap replicates: each cut in turn.
        {"every_data_set_is_cut",
         with(two_data_sets),
         arguments({"-s", "sample.txt", "-v"}),
         "",
         0,
         "",
         "orvane: list entries: 2\norvane: index not used for 'matrix.txt': no 'matrix.txt.oix' beside it\n"
         "orvane: matrix order: 2\norvane: found: 2\norvane: missing: 0\norvane: written: 2\n"
         "orvane: matrix order: 2\norvane: found: 2\norvane: missing: 0\norvane: written: 2\norvane: data sets: 2\n",
         {{"out.txt",
           "    2\nQ                  0         1\nP                  1         0\n"
           "    2\nQ                  0         2\nP                  2         0\n"},
          {"sample.txt",
           "         0         1\n         1         0\n\n         0         2\n         2         0\n"}}},
        {"lower_triangles_one_after_another",
         with("2\nP\nQ 1\n2\nQ\nP 4\n"),
         arguments({}),
         "",
         0,
         "",
         "",
         {{"out.txt", "    2\nQ         \nP                  1\n    2\nQ         \nP                  4\n"}}},
        {"one_data_set_asked_for",
         with(two_data_sets),
         arguments({"--dataset", "2", "--output-format", "tsv"}),
         "",
         0,
         "",
         "",
         {{"out.txt", "\tQ\tP\nQ\t0\t2\nP\t2\t0\n"}}},
        {"a_data_set_past_the_count",
         with(two_data_sets),
         arguments({"--dataset", "3"}),
         "",
         1,
         "",
         "orvane: 'matrix.txt': it holds 2 data sets, so there is no 3rd (--dataset 3)\n",
         {{"out.txt", "kept"}}},
        {"a_table_holds_one_data_set",
         with("\tP\tQ\nP\t0\t1\nQ\t1\t0\n"),
         arguments({"--dataset", "2"}),
         "",
         1,
         "",
         "orvane: 'matrix.txt': it holds 1 data set, so there is no 2nd (--dataset 2)\n",
         {{"out.txt", "kept"}}},
        {"several_data_sets_into_one_table_is_a_usage_error",
         with(two_data_sets),
         arguments({"--output-format", "pairs"}),
         "",
         2,
         "",
         "orvane: 'matrix.txt' holds several data sets, and a pairs output takes one: name it with --dataset N\n" +
             usage_hint,
         {{"out.txt", "kept"}}},
        {"an_id_missing_from_a_later_data_set",
         with("2\nP 0 1\nQ 1 0\n2\nP 0 3\nR 3 0\n"),
         arguments({}),
         "",
         1,
         "",
         "orvane: 'Q' not found in data set 2 of 'matrix.txt'\n",
         {{"out.txt", "kept"}}},
        {"a_later_data_set_cut_short",
         with("2\nP 0 1\nQ 1 0\n3\nP 0 1 2\nQ 1 0"),
         arguments({}),
         "",
         1,
         "",
         "orvane: 'matrix.txt': data set 2: the file ends inside row 'Q' (row 2 of 3)\n",
         {{"out.txt", "kept"}}},
        {"rows_past_the_order_are_refused",
         with("2\nP\nQ 1\nR 3\n"),
         arguments({}),
         "",
         1,
         "",
         "orvane: 'matrix.txt' line 4: 'R' follows the last row of data set 1: no whole number there starts another\n",
         {{"out.txt", "kept"}}},
        {"check_looks_at_every_data_set",
         with("2\nP 0 1\nQ 1 0\n2\nP 0 1\nQ 1.5 0\n"),
         arguments({"--check"}),
         "",
         1,
         "",
         "orvane: not a distance matrix: data set 2: the distance from 'Q' to 'P' is 1.5, from 'P' to 'Q' 1\n",
         {{"out.txt", "kept"}}},
        // Pairs, as mash dist writes them: either order gives the distance, a missing self-pair is 0.
        {"pairs_into_a_square_matrix",
         with(mash_pairs, "B\nA\nC\n"),
         arguments({"--output-format", "square"}),
         "",
         0,
         "",
         "",
         {{"out.txt",
           "    3\nB                  0      0.10       0.3\nA               0.10         0       0.2\n"
           "C                0.3       0.2         0\n"}}},
        {"pairs_written_as_pairs_keep_their_text",
         with(mash_pairs, "B\nA\nC\n"),
         arguments({}),
         "",
         0,
         "",
         "",
         {{"out.txt",
           "B\tB\t0\nB\tA\t0.10\nB\tC\t0.3\nA\tB\t0.10\nA\tA\t0\nA\tC\t0.2\nC\tB\t0.3\nC\tA\t0.2\nC\tC\t0\n"}}},
        {"blank_separated_pairs_each_way",
         with("A B 1\nB A 2\n", "A B"),
         arguments({"--output-format", "tsv"}),
         "",
         0,
         "",
         "",
         {{"out.txt", "\tA\tB\nA\t0\t1\nB\t2\t0\n"}}},
        // IDs with blanks, even at their ends (from --list-lines), survive pairs both ways.
        {"pairs_of_ids_with_blanks_read_back",
         with("Homo sapiens \tPan\t0.5\n", "Pan\nHomo sapiens \n"),
         arguments({"--list-lines"}),
         "",
         0,
         "",
         "",
         {{"out.txt",
           "Pan\tPan\t0\nPan\tHomo sapiens \t0.5\nHomo sapiens \tPan\t0.5\nHomo sapiens \tHomo sapiens \t0\n"}}},
        // An ID written where nothing could read it back is refused before anything is written;
        // one of at most 10 characters stands in PHYLIP's field, blanks and all.
        {"a_long_id_with_blanks_is_refused_in_a_square_matrix",
         with("Homo sapiens \tPan\t0.5\n", "Pan\nHomo sapiens \n"),
         arguments({"--list-lines", "--output-format", "square"}),
         "",
         1,
         "",
         "orvane: the ID 'Homo sapiens ' cannot be written in a square matrix: PHYLIP's 10-character name field "
         "holds a name with blanks only up to 10 characters, and none with a tab or a line break (--short-names, or "
         "a csv or ssv output, which quote, can hold it)\n",
         {{"out.txt", "kept"}}},
        {"a_short_id_with_blanks_stands_in_phylips_field",
         with("B. virgini\tPan\t0.5\n", "Pan\nB. virgini\n"),
         arguments({"--list-lines", "--output-format", "lower"}),
         "",
         0,
         "",
         "",
         {{"out.txt", "    2\nPan       \nB. virgini       0.5\n"}}},
        // R's quoting: a backslash is itself, only a quote is escaped; an ID ending in a backslash
        // would escape its closing quote for read.table.
        {"r_quoting_keeps_backslashes_and_escapes_quotes",
         with("\"back\\slash\" \"dq\\\"uote\"\n\"back\\slash\" 0 1\n\"dq\\\"uote\" 1 0\n", "dq\"uote back\\slash"),
         arguments({}),
         "",
         0,
         "",
         "",
         {{"out.txt", "\"dq\\\"uote\" \"back\\slash\"\n\"dq\\\"uote\" 0 1\n\"back\\slash\" 1 0\n"}}},
        {"an_id_ending_in_a_backslash_is_refused_in_ssv",
         with("A\\\tB\nA\\\t0\t1\nB\t1\t0\n", "A\\ B"),
         arguments({"--output-format", "ssv"}),
         "",
         1,
         "",
         "orvane: the ID 'A\\\\' ends in a backslash, which escapes the closing quote for R's read.table: an ssv "
         "output cannot hold it (--short-names, or a csv or tsv output, can)\n",
         {{"out.txt", "kept"}}},
        // Layouts told right where they used to be guessed wrong.
        {"a_blank_line_among_pairs_keeps_them_pairs",
         with("A\tA\t0\nA\tB\t0.1\n\nB\tA\t0.1\nB\tB\t0\n", "B A"),
         arguments({}),
         "",
         0,
         "",
         "",
         {{"out.txt", "B\tB\t0\nB\tA\t0.1\nA\tB\t0.1\nA\tA\t0\n"}}},
        {"an_r_table_with_a_tab_in_a_quoted_name",
         with("\"A\tx\" \"B\"\n\"A\tx\" 0 1\n\"B\" 1 0\n", "B"),
         arguments({}),
         "",
         0,
         "",
         "",
         {{"out.txt", "\"B\"\n\"B\" 0\n"}}},
        {"a_tab_separated_lower_triangle_with_blanks_in_names",
         with("3\ng 1.fa\ng 2.fa\t0.1\ng 3.fa\t0.2\t0.3\n", "g 3.fa\ng 1.fa\n"),
         arguments({"--list-lines", "--output-format", "tsv"}),
         "",
         0,
         "",
         "",
         {{"out.txt", "\tg 3.fa\tg 1.fa\ng 3.fa\t0\t0.2\ng 1.fa\t0.2\t0\n"}}},
        // A name with a blank in PHYLIP's field is read whole, never its first word with the rest
        // shifted a column.
        {"a_name_with_a_blank_in_phylips_field",
         with("3\np 7       0 1 2\nr         1 0 3\ns         2 3 0\n", "p 7\ns\n"),
         arguments({"--list-lines", "--output-format", "tsv"}),
         "",
         0,
         "",
         "",
         {{"out.txt", "\tp 7\ts\np 7\t0\t2\ns\t2\t0\n"}}},
        {"a_first_word_of_a_name_in_phylips_field_is_no_row",
         with("3\np 7       0 1 2\nr         1 0 3\ns         2 3 0\n", "p"),
         arguments({"--dataset", "1", "--output-format", "tsv"}),
         "",
         1,
         "",
         "orvane: 'p' not found in 'matrix.txt'\n",
         {{"out.txt", "kept"}}},
        {"a_pair_given_twice_with_two_values",
         with("A B 1\nA B 1.0\nA B 2\n", "A B"),
         arguments({}),
         "",
         1,
         "",
         "orvane: 'matrix.txt' line 3: the distance from 'A' to 'B' is given twice, as 1 and as 2\n",
         {{"out.txt", "kept"}}},
        {"a_pair_given_in_neither_order",
         with("A B 1\nC D 2\n", "A C"),
         arguments({}),
         "",
         1,
         "",
         "orvane: 'matrix.txt': no distance between 'A' and 'C' in either order\n",
         {{"out.txt", "kept"}}},
        {"a_pair_line_cut_short",
         with("A\tB\t1\nA\tC\n", "A B"),
         arguments({"--input-format", "pairs"}),
         "",
         1,
         "",
         "orvane: 'matrix.txt' line 2: a pair line needs two IDs and a distance, not 'A\\tC'\n",
         {{"out.txt", "kept"}}},
        {"pairs_or_a_table_cannot_be_told",
         with("x\t1\t2\n1\t0\t5\n2\t5\t0\n", "1"),
         arguments({}),
         "",
         1,
         "",
         "orvane: 'matrix.txt': cannot tell its layout: the first lines read as pairs and as a labelled table alike; "
         "name it with --input-format\n",
         {{"out.txt", "kept"}}},
        {"a_table_named_for_pairs",
         with("x\t1\t2\n1\t0\t5\n2\t5\t0\n", "2"),
         arguments({"--input-format", "tsv"}),
         "",
         0,
         "",
         "",
         {{"out.txt", "\t2\n2\t0\n"}}},
        // R's write.table, by default: blank-separated, names quoted, the header one field shorter.
        {"an_r_table_read_and_written_back",
         with(r_table, "C A"),
         arguments({}),
         "",
         0,
         "",
         "",
         {{"out.txt", "\"C\" \"A\"\n\"C\" 0 0.2\n\"A\" 0.2 0\n"}}},
        {"an_r_table_with_quotes_and_blanks_in_names",
         with("\"Homo sapiens\" \"Pan \\\"t\\\"\"\n\"Homo sapiens\" 0 1.5\n\"Pan \\\"t\\\"\" 1.5 0\n",
              "Pan \"t\"\nHomo sapiens\n"),
         arguments({"--list-lines", "--output-format", "csv"}),
         "",
         0,
         "",
         "",
         {{"out.txt", ",\"Pan \"\"t\"\"\",Homo sapiens\n\"Pan \"\"t\"\"\",0,1.5\nHomo sapiens,1.5,0\n"}}},
        // Exclusion keeps the matrix's order; listed IDs no row has are only counted.
        {"every_id_but_the_listed",
         with(pqr_matrix, "Q Z"),
         arguments({"--exclude", "-v"}),
         "",
         0,
         "",
         "orvane: list entries: 2\norvane: index not used for 'matrix.txt': --exclude reads every row\n"
         "orvane: matrix order: 3\norvane: excluded: 1\norvane: kept: 2\norvane: written: 2\n"
         "orvane: data sets: 1\n",
         {{"out.txt", "    2\nP                  0         2\nR                  2         0\n"}}},
        {"exclusion_from_pairs_and_tables",
         with(mash_pairs, "A"),
         arguments({"--exclude", "--output-format", "csv"}),
         "",
         0,
         "",
         "",
         {{"out.txt", ",B,C\nB,0,0.3\nC,0.3,0\n"}}},
        {"exclusion_from_a_lower_triangle",
         with("3\nP\nQ 1\nR 2 3\n", "P"),
         arguments({"--exclude"}),
         "",
         0,
         "",
         "",
         {{"out.txt", "    2\nQ         \nR                  3\n"}}},
        // Short names: PHYLIP-safe in every output, one per ID, and the map back.
        {"short_names_and_their_map",
         with(
             "\tHomo sapiens\tPan_troglodytes\tPan_troglo\tMus\nHomo sapiens\t0\t1\t2\t3\nPan_troglodytes\t1\t0\t4\t5\n"
             "Pan_troglo\t2\t4\t0\t6\nMus\t3\t5\t6\t0\n",
             "Homo sapiens\nPan_troglodytes\nMus\nPan_troglo\nMus\n"),
         arguments({"--list-lines", "--output-format", "square", "--short-names", "map.tsv"}),
         "",
         0,
         "",
         "orvane: warning: 'Mus' is listed 2 times: it is written at each place\n",
         {{"out.txt",
           "    5\nHomo_sapie         0         1         3         2         3\n"
           "troglodyte         1         0         5         4         5\n"
           "Mus                3         5         0         6         0\n"
           "Pan_troglo         2         4         6         0         6\n"
           "Mus                3         5         0         6         0\n"},
          {"map.tsv", "Homo_sapie\tHomo sapiens\ntroglodyte\tPan_troglodytes\nMus\tMus\nPan_troglo\tPan_troglo\n"}}},
        // A name that is another ID's code stays its own; across data sets an ID keeps its name,
        // and one found only later never takes a code given before.
        {"short_names_when_a_code_is_another_id",
         with(two_data_sets_long, "Homo_sapiens_x\nHomo_sapie\n"),
         {"-l", "list.txt", "-i", "matrix.txt", "-o", "-", "--short-names", "map.tsv"},
         "",
         0,
         "    2\nsapiens_x          0         1\nHomo_sapie         1         0\n"
         "    2\nsapiens_x          0         2\nHomo_sapie         2         0\n",
         "",
         {{"out.txt", "kept"}, {"map.tsv", "sapiens_x\tHomo_sapiens_x\nHomo_sapie\tHomo_sapie\n"}}},
        {"short_names_of_an_id_found_only_later",
         with("1\nHomo_sapiens_x 0\n2\nHomo_sapie 0 2\nHomo_sapiens_x 2 0\n", "Homo_sapiens_x\nHomo_sapie\n"),
         {"-l", "list.txt", "-i", "matrix.txt", "-o", "-", "--short-names", "map.tsv", "--allow-missing"},
         "",
         0,
         "    1\nsapiens_x          0\n    2\nsapiens_x          0         2\nHomo_sapie         2         0\n",
         "orvane: warning: 'Homo_sapie' not found in data set 1 of 'matrix.txt'\n",
         {{"out.txt", "kept"}, {"map.tsv", "sapiens_x\tHomo_sapiens_x\nHomo_sapie\tHomo_sapie\n"}}},
        {"ids_too_long_for_phylip_are_written_with_a_warning",
         with("2\nStaphylococcus_aureus 0 1\nEscherichia_coli 1 0\n", "Staphylococcus_aureus\nEscherichia_coli\n"),
         {"-l", "list.txt", "matrix.txt", "-o", "out.txt"},
         "",
         0,
         "",
         "orvane: warning: 'Staphylococcus_aureus' and 1 more IDs are longer than 10 characters, which PHYLIP's "
         "programs read of a name: --short-names writes names they read, and a map back to the IDs\n",
         {{"out.txt", "    2\nStaphylococcus_aureus         0         1\nEscherichia_coli         1         0\n"}}},
        // What tells long IDs apart: the words they do not share, numbers without their padding.
        {"short_names_keep_what_tells_ids_apart",
         with("3\nStaphylococcus_aureus_GCF_000013425.1 0 1 2\nStaphylococcus_aureus_GCF_000009645.1 1 0 3\n"
              "Escherichia_coli_GCF_000005845.2 2 3 0\n",
              "Staphylococcus_aureus_GCF_000009645.1\nStaphylococcus_aureus_GCF_000013425.1\n"
              "Escherichia_coli_GCF_000005845.2\n"),
         {"-l", "list.txt", "matrix.txt", "-o", "out.txt", "--short-names", "map.tsv"},
         "",
         0,
         "",
         "",
         {{"out.txt",
           "    3\n9645               0         1         3\n13425              1         0         2\n"
           "5845               3         2         0\n"},
          {"map.tsv",
           "9645\tStaphylococcus_aureus_GCF_000009645.1\n13425\tStaphylococcus_aureus_GCF_000013425.1\n"
           "5845\tEscherichia_coli_GCF_000005845.2\n"}}},
        {"the_name_map_and_the_matrix_in_one_file",
         inputs,
         arguments({"--short-names", "out.txt"}),
         "",
         1,
         "",
         "orvane: the matrix and the name map name the same file, 'out.txt'\n",
         {}},
        {"check_compares_distances_as_numbers",
         with("3\nP 0 0.1 2\nQ 0.10 0 3\nR 2 3.5 0\n", "Q P\n"),
         {"-l", "list.txt", "-i", "matrix.txt", "-o", "-", "--check", "--output-format", "tsv"},
         "",
         0,
         "\tQ\tP\nQ\t0\t0.10\nP\t0.1\t0\n",
         "",
         {{"out.txt", "kept"}}},
        {"check_names_the_first_asymmetric_pair",
         with("3\nP 0 1 2\nQ 1 0 3\nR 2 3.5 0\n", "P Q R\n"),
         arguments({"--check"}),
         "",
         1,
         "",
         "orvane: not a distance matrix: the distance from 'Q' to 'R' is 3, from 'R' to 'Q' 3.5\n",
         {{"out.txt", "kept"}}},
        {"check_names_a_diagonal_cell_that_is_not_zero",
         with("\tP\tQ\nP\t0\t1\nQ\t1\t1e-3\n", "Q P\n"),
         arguments({"--check"}),
         "",
         1,
         "",
         "orvane: not a distance matrix: the distance from 'Q' to itself is 0.001, not 0\n",
         {{"out.txt", "kept"}}},
        {"list_lines_keep_blanks_inside_ids",
         {{"list.txt", "\xEF\xBB\xBFMus musculus\r\n\nHomo sapiens \n"},
          {"matrix.txt",
           "\tHomo sapiens \tPan troglodytes\tMus musculus\nHomo sapiens \t0\t1\t2\n"
           "Pan troglodytes\t1\t0\t3\nMus musculus\t2\t3\t0\n"}},
         arguments({"--list-lines"}),
         "",
         0,
         "",
         "",
         {{"out.txt", "\tMus musculus\tHomo sapiens \nMus musculus\t0\t2\nHomo sapiens \t2\t0\n"}}},
        {"an_id_twice_in_a_square_matrix",
         with("3\nP 0 1 2\nQ 1 0 3\nP 2 3 0\n"),
         arguments({}),
         "",
         1,
         "",
         "orvane: 'matrix.txt' line 4: the ID 'P' names rows 1 and 3\n",
         {}},
        {"an_id_twice_in_a_lower_triangle",
         with("3\nP\nQ 1\nP 2 3\n"),
         arguments({}),
         "",
         1,
         "",
         "orvane: 'matrix.txt' line 4: the ID 'P' names rows 1 and 3\n",
         {}},
        {"an_id_twice_in_a_table",
         with("\tP\tQ\tP\nP\t0\t1\t2\nQ\t1\t0\t3\nP\t2\t3\t0\n"),
         arguments({}),
         "",
         1,
         "",
         "orvane: 'matrix.txt' line 4: the ID 'P' names rows 1 and 3\n",
         {}},
        {"a_table_missing_its_last_row",
         with("\tP\tQ\tR\nP\t0\t1\t2\nQ\t1\t0\t3\n"),
         arguments({}),
         "",
         1,
         "",
         "orvane: 'matrix.txt': the table has 2 rows for the header's 3 names\n",
         {}},
        {"a_table_of_a_header_alone",
         with("\tP\tQ\n"),
         arguments({"--input-format", "tsv"}),
         "",
         1,
         "",
         "orvane: 'matrix.txt': the table has 0 rows for the header's 2 names\n",
         {}},
        {"a_trailing_tab_in_a_table_row",
         with("\tP\tQ\nP\t0\t1\nQ\t1\t0\t\n"),
         arguments({}),
         "",
         1,
         "",
         "orvane: 'matrix.txt' line 3: row 'Q' has 3 values for the header's 2 names: the last is empty (a delimiter "
         "at the end of the line)\n",
         {}},
        {"quoted_names_holding_line_breaks",
         with(",\"A\nB\",Q\n\"A\nB\",0,1\nQ,1,0\n", "Q"),
         arguments({}),
         "",
         0,
         "",
         "",
         {{"out.txt", ",Q\nQ,0\n"}}},
        {"an_empty_sample_name",
         inputs,
         arguments({"-s", ""}),
         "",
         2,
         "",
         "orvane: --sample names no file (an empty name)\n" + usage_hint,
         {}},
        {"an_empty_output_name",
         inputs,
         {"-l", "list.txt", "-i", "matrix.txt", "-o", ""},
         "",
         2,
         "",
         "orvane: --output names no file (an empty name)\n" + usage_hint,
         {}},
        // A blank or empty file named as a table is no table of nothing where every ID is missing.
        {"empty_file_named_as_a_table",
         with("\n"),
         arguments({"--input-format", "tsv", "--allow-missing"}),
         "",
         1,
         "",
         "orvane: 'matrix.txt' line 1: no table: the header names no column\n",
         {}},
        {"a_word_for_a_distance",
         with("3\nP 0 1 2\nQ 1 NA 3\nR 2 3 0\n"),
         arguments({}),
         "",
         1,
         "",
         "orvane: 'matrix.txt' line 3: row 'Q': 'NA' is no number\n",
         {}},
        // A distance is a number wherever it stands, in a pair of IDs nobody listed too.
        {"a_word_for_a_distance_between_unlisted_ids",
         with(mash_pairs + "X\tY\tNA\t0.1\t0/1000\n", "B\nA\n"),
         arguments({"--input-format", "pairs"}),
         "",
         1,
         "",
         "orvane: 'matrix.txt' line 6: the distance from 'X' to 'Y': 'NA' is no number\n",
         {}},
        {"junk_glued_to_a_distance",
         with("3\nP 0 0.5x2 1\nQ 1 0 3\nR 2 3 0\n"),
         arguments({}),
         "",
         1,
         "",
         "orvane: 'matrix.txt' line 2: row 'P': '0.5x2' is no number\n",
         {}},
        {"a_row_cut_short",
         with("3\nP 0 1 2\nQ 1 0"),
         arguments({}),
         "",
         1,
         "",
         "orvane: 'matrix.txt': the file ends inside row 'Q' (row 2 of 3)\n",
         {}},
        {"fewer_rows_than_declared",
         with("3\nP 0 1 2\nQ 1 0 3\n"),
         arguments({}),
         "",
         1,
         "",
         "orvane: 'matrix.txt': the file ends after 2 of 3 rows\n",
         {}},
        {"no_order",
         with("three\nP 0 1 2\n"),
         arguments({}),
         "",
         1,
         "",
         "orvane: 'matrix.txt' line 1: 'three' is no matrix order (a whole number of 32 bits)\n",
         {}},
        {"negative_order",
         with("-3\nP 0 1 2\n"),
         arguments({}),
         "",
         1,
         "",
         "orvane: the matrix order -3 is negative\n",
         {}},
        {"matrix_missing",
         {{"list.txt", "Q"}},
         arguments({}),
         "",
         1,
         "",
         "orvane: cannot open 'matrix.txt': No such file or directory\n",
         {}},
        {"one_file_for_both_outputs",
         inputs,
         arguments({"-s", "./out.txt"}),
         "",
         1,
         "",
         "orvane: the matrix and the sample name the same file, 'out.txt'\n",
         {}},
        {"dev_null_may_take_both_outputs",
         inputs,
         {"-l", "list.txt", "-i", "matrix.txt", "-o", "/dev/null", "-s", "/dev/null"},
         "",
         0,
         "",
         "",
         {}},
        {"an_output_that_cannot_be_written",
         with(pqr_matrix),
         arguments({"-s", "/dev/full"}),
         "",
         1,
         "",
         "orvane: cannot write '/dev/full': No space left on device\n",
         {}},
        {"output_replaces_the_matrix",
         inputs,
         {"-l", "list.txt", "-i", "matrix.txt", "-o", "matrix.txt"},
         "",
         0,
         "",
         "",
         {{"matrix.txt", qp_cut}}},
        {"both_outputs_to_standard_output",
         inputs,
         {"-l", "list.txt", "-i", "matrix.txt", "-o", "-", "-s", "-"},
         "",
         2,
         "",
         "orvane: only one of --output and --sample can be standard output (-)\n" + usage_hint,
         {}},
        {"unknown_option",
         inputs,
         arguments({"--exact"}),
         "",
         2,
         "",
         "orvane: unknown option '--exact'\n" + usage_hint,
         {}},
        {"quiet_and_verbose",
         inputs,
         arguments({"-q", "-v"}),
         "",
         2,
         "",
         "orvane: --quiet and --verbose exclude each other\n" + usage_hint,
         {}},
        {"version", {}, {"-V"}, "", 0, "orvane " ORVANE_TALMIRO_VERSION "\n", "", {}},
        // Layouts: each read (told from the first lines) and written, values as read where both
        // sides are labelled tables.
        {"tsv_values_pass_through",
         {{"list.txt", "C A"}, {"m.tsv", "\tA\tB\tC\nA\t0\t5\t1.5e-3\nB\t5\t0\t7\nC\t1.5e-3\t7\t0\n"}},
         {"-l", "list.txt", "-i", "m.tsv", "-o", "out.tsv"},
         "",
         0,
         "",
         "",
         {{"out.tsv", "\tC\tA\nC\t0\t1.5e-3\nA\t1.5e-3\t0\n"}}},
        {"r_header_without_a_corner_and_crlf",
         {{"list.txt", "C A"}, {"m.csv", "A,B,C\r\nA,0,5,12\r\nB,5,0,7\r\nC,12,7,0\r\n"}},
         {"-l", "list.txt", "-i", "m.csv", "-o", "out.csv"},
         "",
         0,
         "",
         "",
         {{"out.csv", ",C,A\nC,0,12\nA,12,0\n"}}},
        {"quoted_names_are_unquoted_and_quoted_again",
         {{"list.txt", "x,y B"}, {"m.csv", "\"\",\"x,y\",\"B\"\n\"x,y\",0,1\n\"B\",1,0\n"}},
         {"-l", "list.txt", "-i", "m.csv", "-o", "-"},
         "",
         0,
         ",\"x,y\",B\n\"x,y\",0,1\nB,1,0\n",
         "",
         {}},
        {"table_to_square",
         {{"list.txt", "C A"}, {"m.tsv", "x\tA\tB\tC\nA\t0\t5\t12\nB\t5\t0\t7\nC\t12\t7\t0\n"}},
         {"-l", "list.txt", "-i", "m.tsv", "-o", "-", "--output-format", "square"},
         "",
         0,
         "    2\nC                  0        12\nA                 12         0\n",
         "",
         {}},
        {"square_to_tsv_and_lower",
         inputs,
         {"-l", "list.txt", "-i", "matrix.txt", "-o", "out.tsv", "--output-format=tsv"},
         "",
         0,
         "",
         "",
         {{"out.tsv", "\tQ\tP\nQ\t0\t1\nP\t1\t0\n"}}},
        {"square_to_lower",
         inputs,
         {"-l", "list.txt", "-i", "matrix.txt", "-o", "-", "--output-format", "lower"},
         "",
         0,
         "    2\nQ         \nP                  1\n",
         "",
         {}},
        {"lower_without_the_diagonal",
         {{"list.txt", "C A"}, {"m.txt", "3\nA\nB\t0.1\nC\t0.2\t0.3\n"}},
         {"-l", "list.txt", "-i", "m.txt", "-o", "-"},
         "",
         0,
         "    2\nC         \nA                0.2\n",
         "",
         {}},
        {"lower_with_the_diagonal_to_square",
         {{"list.txt", "C B"}, {"m.txt", "3\nA 0\nB 0.1 0\nC 0.2 0.3 0\n"}},
         {"-l", "list.txt", "-i", "m.txt", "-o", "-", "-s", "s.txt", "--output-format", "square"},
         "",
         0,
         "    2\nC                  0       0.3\nB                0.3         0\n",
         "",
         {{"s.txt", "         0       0.3\n       0.3         0\n"}}},
        {"a_table_whose_rows_differ_from_its_header",
         {{"list.txt", "A"}, {"m.tsv", "\tA\tB\nB\t0\t1\nA\t1\t0\n"}},
         {"-l", "list.txt", "-i", "m.tsv", "-o", "out"},
         "",
         1,
         "",
         "orvane: 'm.tsv' line 2: row 'B' where the header has 'A': the row names differ from the header's, so this "
         "is no distance matrix\n",
         {}},
        {"a_cell_that_is_no_number",
         {{"list.txt", "B"}, {"m.csv", ",A,B\nA,0,1\nB,NA,0\n"}},
         {"-l", "list.txt", "-i", "m.csv", "-o", "out"},
         "",
         1,
         "",
         "orvane: 'm.csv' line 3: row 'B', column 'A': 'NA' is no number\n",
         {}},
        // --allow-na: missing values of a table go through into a table as they stand, and
        // nowhere that holds numbers only.
        {"missing_values_let_through_into_a_table",
         {{"list.txt", "B A"}, {"m.csv", ",A,B,C\nA,0,,1\nB,NaN,0,NA\nC,1,NA,0\n"}},
         {"-l", "list.txt", "m.csv", "--allow-na", "--output-format", "tsv"},
         "",
         0,
         "\tB\tA\nB\t0\tNaN\nA\t\t0\n",
         "",
         {}},
        {"missing_values_refused_in_a_square_matrix",
         {{"list.txt", "B A"}, {"m.csv", ",A,B,C\nA,0,,1\nB,NaN,0,NA\nC,1,NA,0\n"}},
         {"-l", "list.txt", "m.csv", "--allow-na", "--output-format", "square", "-o", "out"},
         "",
         1,
         "",
         "orvane: the distance from 'B' to 'A' is 'NaN': a square output holds numbers only (a tsv, csv, ssv or pairs "
         "output without -s holds it)\n",
         {}},
        {"missing_values_fail_the_check",
         {{"list.txt", "C B"}, {"m.csv", ",A,B,C\nA,0,,1\nB,NaN,0,NA\nC,1,NA,0\n"}},
         {"-l", "list.txt", "m.csv", "--allow-na", "--check"},
         "",
         1,
         "",
         "orvane: not a distance matrix: the distance from 'C' to 'B' is 'NA'\n",
         {}},
        {"a_layout_that_cannot_be_told",
         {{"list.txt", "A"}, {"m.txt", "A B C\nD 0\n"}},
         {"-l", "list.txt", "-i", "m.txt", "-o", "out"},
         "",
         1,
         "",
         "orvane: 'm.txt': cannot tell its layout: the first lines fit no layout (no order first, no header and "
         "row of equal fields, no pairs); name it with --input-format\n",
         {}},
        {"a_layout_named",
         {{"list.txt", "A"}, {"m.txt", "1\nA 0\n"}},
         {"-l", "list.txt", "-i", "m.txt", "-o", "-", "--input-format", "lower"},
         "",
         0,
         "    1\nA         \n",
         "",
         {}},
        {"an_unknown_layout",
         inputs,
         arguments({"--output-format", "phylip"}),
         "",
         2,
         "",
         "orvane: --output-format: phylip not in {square,lower,tsv,csv,pairs,ssv}\n" + usage_hint,
         {}},
        // Indexing: a mode of its own, for matrix files only.
        {"index_takes_no_list",
         inputs,
         {"--index", "matrix.txt", "-l", "list.txt"},
         "",
         2,
         "",
         "orvane: --list cannot go with --index\n" + usage_hint,
         {}},
        {"index_takes_the_layout_only",
         inputs,
         {"--index", "matrix.txt", "--exclude"},
         "",
         2,
         "",
         "orvane: --index takes files and no other option than --input-format, -q or -v\n" + usage_hint,
         {}},
        {"index_of_pairs_is_refused",
         {{"m.tsv", "A\tB\t0.5\n"}},
         {"--index", "m.tsv"},
         "",
         1,
         "",
         "orvane: 'm.tsv': a pairs file has no rows to find: it is read whole each time, and has no index\n",
         {}},
        {"index_of_a_cut_matrix_is_refused",
         {{"m.txt", "3\nP 0 1 2\nQ 1 0 3\n"}},
         {"--index", "m.txt"},
         "",
         1,
         "",
         "orvane: 'm.txt': the file ends in row 3 of 3\n",
         {}},
        {"index_of_standard_input",
         inputs,
         {"--index", "-"},
         "",
         2,
         "",
         "orvane: an index is made for a file: standard input (-) cannot have one\n" + usage_hint,
         {}},
    };
}

class OrvaneBatch : public ::testing::TestWithParam<BatchScenario> {};

TEST_P(OrvaneBatch, StreamsStatusAndFilesMatch) { expect_batch_scenario(GetParam(), ORVANE_BINARY); }

INSTANTIATE_TEST_SUITE_P(Orvane, OrvaneBatch, ::testing::ValuesIn(batch_scenarios()),
                         [](const auto& test_info) { return test_info.param.name; });

// A square matrix of `order` rows named ID0, ID1, ... with distances that float and double
// hold alike (eighths), so that both precisions write the same text.
std::string generated_matrix(int order) {
    const std::vector<std::string> eighths = {"125", "25", "375", "5", "625", "75", "875", "0"};
    std::string matrix = std::to_string(order) + "\n";
    for (int row = 0; row < order; ++row) {
        matrix += "ID" + std::to_string(row);
        for (int column = 0; column < order; ++column) {
            matrix += ' ' + std::to_string((row * 7 + column * 3) % 1000) + "." + eighths[(row + column) % 8];
        }
        matrix += '\n';
    }
    return matrix;
}

std::string generated_list(int count) {
    std::string list;
    for (int id = count - 1; id >= 0; --id) {
        list += "ID" + std::to_string(id) + "\n";
    }
    return list;
}

// Where every number is written the same way at float and at double precision, batch mode
// asked for the dialogue's six decimals writes the very bytes the dialogue writes after y to
// every question.
TEST(OrvaneBatchOutputs, AreTheDialoguesBytes) {
    // The inputs, and the answers to the questions about missing IDs.
    const std::vector<std::pair<Files, std::string>> cases = {
        {{{"list.txt", "Q P"}, {"matrix.txt", pqr_matrix}}, ""},
        {{{"list.txt", "A X B C Y"}, {"matrix.txt", "3\nA 0 100 -10\nB 100 0 1234.5\nC -10 1234.5 -0.5\n"}}, "y y"},
        {{{"list.txt", "P Q P\r\n"}, {"matrix.txt", "3\r\nP 0 1 2\r\nQ 1 0 3\r\nR 2 3 0\r\n"}}, ""},
        {{{"list.txt", "ABCDEFGHIJK NC_000913.3_chromosome_full"},
          {"matrix.txt", "2 NC_000913.3_chromosome_full 0 0.25\nABCDEFGHIJK\n0.25 0"}},
         ""},
        {{{"list.txt", generated_list(60)}, {"matrix.txt", generated_matrix(80)}}, ""},
    };
    for (const auto& [inputs, continue_answers] : cases) {
        ScratchDir dir;
        for (const auto& [name, content] : inputs) {
            dir.write(name, content);
        }
        run_process(ORVANE_BINARY, "list.txt matrix.txt " + continue_answers + " dialogue.txt dialogue-sample.txt",
                    dir.path());
        const ProcessResult batch = run_command(ORVANE_BINARY,
                                                {"-l", "list.txt", "-i", "matrix.txt", "-o", "batch.txt", "-s",
                                                 "batch-sample.txt", "--allow-missing", "--decimals", "6"},
                                                "", dir.path());
        EXPECT_EQ(batch.exit_status, 0) << batch.errors;
        EXPECT_TRUE(dir.read("batch.txt") == dir.read("dialogue.txt")) << inputs[0].second;
        EXPECT_TRUE(dir.read("batch-sample.txt") == dir.read("dialogue-sample.txt")) << inputs[0].second;
    }
}

TEST(OrvaneBatchOutputs, HelpListsEveryOptionOnALineOfItsOwn) {
    ScratchDir dir;
    const ProcessResult help = run_command(ORVANE_BINARY, {"--help"}, "", dir.path());
    EXPECT_EQ(help.exit_status, 0);
    for (const std::string option :
         {"-h,--help", "-V,--version", "-l,--list LIST", "-i,--input MATRIX", "-o,--output OUTPUT",
          "-s,--sample SAMPLE", "--allow-missing", "-q,--quiet", "-v,--verbose"}) {
        EXPECT_NE(help.output.find("\n  " + option + " "), std::string::npos) << option;
    }
    EXPECT_NE(help.output.find("Examples:\n  orvane -l ids.txt"), std::string::npos);
}

// Through a link, the file the link names is replaced and the link stays; the file keeps its
// permissions.
TEST(OrvaneBatchOutputs, ReplaceTheFileALinkNamesAndKeepItsPermissions) {
    ScratchDir dir;
    dir.write("list.txt", "Q P");
    dir.write("matrix.txt", pqr_matrix);
    dir.write("real.txt", "old");
    fs::permissions(dir / "real.txt", fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    fs::create_symlink("real.txt", dir / "link.txt");
    const ProcessResult result =
        run_command(ORVANE_BINARY, {"-l", "list.txt", "-i", "matrix.txt", "-o", "link.txt"}, "", dir.path());
    EXPECT_EQ(result.exit_status, 0) << result.errors;
    EXPECT_TRUE(fs::is_symlink(dir / "link.txt"));
    EXPECT_EQ(dir.read("real.txt"), qp_cut);
    EXPECT_EQ(fs::status(dir / "real.txt").permissions(),
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
}

// A file size limit makes the write fail and be reported, in both modes; the signal it raises
// would otherwise end the program with a cut file and no word.
TEST(OrvaneBatchOutputs, AFileSizeLimitIsAWriteFailure) {
    ScratchDir dir;
    dir.write("list.txt", generated_list(200));
    dir.write("matrix.txt", generated_matrix(200));
    dir.write("out.txt", "kept");
    const std::string limited = "ulimit -f 64; exec \"$0\" \"$@\"";
    const ProcessResult batch =
        run_command("/bin/sh", {"-c", limited, ORVANE_BINARY, "-l", "list.txt", "-i", "matrix.txt", "-o", "out.txt"},
                    "", dir.path());
    EXPECT_EQ(batch.exit_status, 1);
    EXPECT_EQ(batch.errors, "orvane: cannot write 'out.txt': File too large\n");
    EXPECT_EQ(dir.read("out.txt"), "kept");
    const ProcessResult dialogue =
        run_command("/bin/sh", {"-c", limited, ORVANE_BINARY}, "list.txt matrix.txt big.txt /dev/null", dir.path());
    EXPECT_EQ(dialogue.exit_status, 0);
    EXPECT_TRUE(dialogue.output.ends_with("\nUnable to write file, aborting.....\n")) << dialogue.output.substr(0, 200);
}

// Interrupted while writing, a run leaves the target as it was and no temporary file behind.
// The sample goes to a FIFO: opening it for reading meets the run just after it has made the
// matrix's temporary file, and as nobody reads the FIFO the run then waits in its writes until
// the signal comes, so no timing decides the outcome.
// Waits, without a clock, until the run writes to the FIFO it opened (true), or ends first.
bool run_is_writing(int fifo, pid_t child) {
    const int process = static_cast<int>(::syscall(SYS_pidfd_open, child, 0));
    pollfd watched[2] = {{fifo, POLLIN, 0}, {process, POLLIN, 0}};
    const int ready = ::poll(watched, process >= 0 ? 2 : 1, -1);
    if (process >= 0) {
        ::close(process);
    }
    return ready > 0 && (watched[0].revents & POLLIN) != 0;
}

// `prefix`: a command the run is started through (a process limit, say).
void expect_interrupted_runs_keep_the_target(const std::vector<std::string>& prefix) {
    ScratchDir dir;
    dir.write("list.txt", generated_list(1500));
    dir.write("matrix.txt", generated_matrix(1500));
    dir.write("out.txt.gz", "kept");
    ASSERT_EQ(::mkfifo((dir / "sample.fifo").c_str(), 0666), 0);
    // For a run as another user: it may write the folder, the target and the FIFO.
    for (const char* name : {"sample.fifo", "out.txt.gz"}) {
        fs::permissions(dir / name, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                                        fs::perms::group_write | fs::perms::others_read | fs::perms::others_write);
    }
    fs::permissions(dir.path(), fs::perms::all);
    std::vector<std::string> command = prefix;
    for (const char* argument :
         {ORVANE_BINARY, "-l", "list.txt", "-i", "matrix.txt", "-o", "out.txt.gz", "-s", "sample.fifo"}) {
        command.emplace_back(argument);
    }
    std::vector<char*> argv;
    for (std::string& argument : command) {
        argv.push_back(argument.data());
    }
    argv.push_back(nullptr);
    for (const int signal : {SIGINT, SIGTERM}) {
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            if (::chdir(dir.path().c_str()) == 0) {
                ::execvp(argv[0], argv.data());
            }
            ::_exit(127);
        }
        const int sample = ::open((dir / "sample.fifo").c_str(), O_RDONLY | O_NONBLOCK);
        ASSERT_GE(sample, 0);
        bool writing = false;
        if (run_is_writing(sample, child)) {
            for (const auto& entry : fs::directory_iterator(dir.path())) {
                writing = writing || entry.path().filename().string().starts_with(".out.txt.gz.");
            }
        }
        ::kill(child, signal);
        int status = 0;
        ::waitpid(child, &status, 0);
        ::close(sample);
        ASSERT_TRUE(writing);
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal) << status;
        EXPECT_EQ(dir.read("out.txt.gz"), "kept");
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(dir.path())) {
            names.push_back(entry.path().filename().string());
        }
        std::sort(names.begin(), names.end());
        EXPECT_EQ(names, (std::vector<std::string>{"list.txt", "matrix.txt", "out.txt.gz", "sample.fifo"}));
    }
}

TEST(OrvaneBatchOutputs, AnInterruptedRunKeepsTheTarget) { expect_interrupted_runs_keep_the_target({}); }

// Under a process limit no watcher thread can be had; a plain handler still removes the
// temporary files. Root ignores the limit, so the run is made as another user there.
TEST(OrvaneBatchOutputs, AnInterruptedRunWithoutThreadsKeepsTheTarget) {
#ifdef UNDER_SANITIZERS
    GTEST_SKIP() << "the sanitizers' own threads meet the process limit";
#endif
    if (::access("/usr/bin/prlimit", X_OK) != 0 || ::access("/usr/bin/setpriv", X_OK) != 0) {
        GTEST_SKIP() << "prlimit and setpriv (util-linux) are not installed";
    }
    std::vector<std::string> prefix;
    if (::geteuid() == 0) {
        prefix = {"/usr/bin/setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"};
    }
    prefix.insert(prefix.end(), {"/usr/bin/prlimit", "--nproc=1", "--"});
    expect_interrupted_runs_keep_the_target(prefix);
}

// Output names that lead elsewhere than a plain file: a descriptor the shell opened is written
// through, at its offset (the shell's own file keeps what others wrote); two outputs on one pipe,
// FIFO or device are refused as one file named twice; a dangling link creates the file it names;
// a name of 250 bytes works; a closed standard stream is neither read nor written.
TEST(OrvaneBatchOutputs, DescriptorsPipesLinksAndClosedStreams) {
    ScratchDir dir;
    dir.write("list.txt", "Q P");
    dir.write("matrix.txt", pqr_matrix);
    const std::string orvane = std::string(ORVANE_BINARY) + " -l list.txt -i matrix.txt";
    const auto shell = [&](const std::string& script) {
        return run_command("/bin/sh", {"-c", script}, "", dir.path());
    };
    const auto expect_shell = [&](const std::string& script, int status, const std::string& errors) {
        const ProcessResult result = shell(script);
        EXPECT_EQ(result.exit_status, status) << script;
        EXPECT_EQ(result.errors, errors) << script;
    };
    expect_shell("{ echo A; " + orvane + " -o /dev/stdout; echo B; } > shell.txt", 0, "");
    EXPECT_EQ(dir.read("shell.txt"), "A\n" + qp_cut + "B\n");
    // The dialogue too: its transcript and the matrix share the shell's file, neither lost.
    expect_shell(
        "printf 'list.txt matrix.txt /dev/stdout /dev/null' | " + std::string(ORVANE_BINARY) + " > dialogue.txt", 0,
        "");
    EXPECT_TRUE(dir.read("dialogue.txt").starts_with(banner("ORVANE")));
    EXPECT_NE(dir.read("dialogue.txt").find(qp_output), std::string::npos);
    expect_shell("echo log > run.log; " + orvane + " -o out.txt -s /dev/stderr 2>>run.log", 0, "");
    EXPECT_EQ(dir.read("run.log"), "log\n" + qp_cut_sample);
    expect_shell("{ echo A; " + orvane + " -o /dev/fd/3 3>&1; } > fd.txt", 0, "");
    EXPECT_EQ(dir.read("fd.txt"), "A\n" + qp_cut);
    expect_shell(orvane + " -o - -s /dev/stdout | cat > /dev/null; exit $(($? + 0))", 0,
                 "orvane: the matrix and the sample name the same file, '-'\n");
    expect_shell("mkfifo fifo && { cat fifo > /dev/null & } && " + orvane +
                     " -o fifo -s fifo; status=$?; "
                     "rm -f fifo; wait; exit $status",
                 1, "orvane: the matrix and the sample name the same file, 'fifo'\n");
    expect_shell(orvane + " -o /dev/null -s /dev/null", 0, "");
    expect_shell("ln -s made.txt dangling && " + orvane + " -o dangling && test -L dangling", 0, "");
    EXPECT_EQ(dir.read("made.txt"), qp_cut);
    const std::string long_name(250, 'n');
    expect_shell(orvane + " -o " + long_name, 0, "");
    EXPECT_EQ(dir.read(long_name), qp_cut);
    expect_shell(orvane + " -o - >&-", 1, "orvane: standard output is closed\n");
    expect_shell(orvane + " -o closed.txt -s - >&-", 1, "orvane: standard output is closed\n");
    EXPECT_FALSE(dir.exists("closed.txt"));
    expect_shell(std::string(ORVANE_BINARY) + " -l - -i matrix.txt -o closed.txt <&-", 1,
                 "orvane: standard input is closed\n");
    expect_shell("echo kept > kept.txt; " + orvane + " -o kept.txt --allow-missing 2>&-", 0, "");
    EXPECT_EQ(dir.read("kept.txt"), qp_cut);
}

// Layout detection sees whole first lines from a file, a pipe and compressed data alike, and
// damaged compressed data is told as such, not as a layout it cannot tell.
TEST(OrvaneLayouts, DetectionSeesWholeFirstLinesAndTellsDamage) {
    ScratchDir dir;
    std::vector<std::string> names;
    for (int id = 0; id < 600; ++id) {
        names.push_back(std::string(2000, 'a' + static_cast<char>(id % 26)) + std::to_string(id));
    }
    std::string table;
    for (const std::string& name : names) {
        table += "\t" + name;
    }
    table += "\n";
    for (std::size_t row = 0; row < names.size(); ++row) {
        table += names[row];
        for (std::size_t column = 0; column < names.size(); ++column) {
            table += row == column ? "\t0" : "\t1";
        }
        table += "\n";
    }
    dir.write("list.txt", names[7] + " " + names[3]);
    dir.write("table.tsv", table);
    dir.write("table.gz", packed(table, Packing::gzip));
    const std::string expected =
        "\t" + names[7] + "\t" + names[3] + "\n" + names[7] + "\t0\t1\n" + names[3] + "\t1\t0\n";
    for (const std::string input : {"table.tsv", "table.gz"}) {
        const ProcessResult run =
            run_command(ORVANE_BINARY, {"-l", "list.txt", "-i", input, "-o", "-"}, "", dir.path());
        EXPECT_EQ(run.exit_status, 0) << input << ": " << run.errors;
        EXPECT_TRUE(run.output == expected) << input;
    }
    const ProcessResult piped = run_command(ORVANE_BINARY, {"-l", "list.txt", "-i", "-", "-o", "-"}, table, dir.path());
    EXPECT_EQ(piped.exit_status, 0) << piped.errors;
    EXPECT_TRUE(piped.output == expected);
    const std::string small = packed(pqr_matrix, Packing::gzip);
    dir.write("cut.gz", small.substr(0, small.size() / 2));
    const ProcessResult cut = run_command(ORVANE_BINARY, {"-l", "list.txt", "-i", "cut.gz", "-o", "-"}, "", dir.path());
    EXPECT_EQ(cut.exit_status, 1);
    EXPECT_EQ(cut.errors, "orvane: 'cut.gz': corrupt or truncated gzip data\n");
}

// A compressed matrix and list read as the plain files do, in both modes.
// A BGZF matrix cut right after a whole block is cut short from a pipe as from a file.
TEST(OrvaneCompressed, BgzfWithoutItsEndOfFileBlockIsTruncatedEvenFromAPipe) {
    ScratchDir dir;
    dir.write("list.txt", generated_list(40));
    const std::string whole = packed(generated_matrix(400), Packing::bgzf);
    const std::string cut = whole.substr(0, whole.size() - 28);  // the empty member is 28 bytes
    const ProcessResult batch =
        run_command(ORVANE_BINARY, {"-l", "list.txt", "-i", "-", "-o", "out.txt"}, cut, dir.path());
    EXPECT_EQ(batch.exit_status, 1);
    EXPECT_EQ(batch.errors, "orvane: standard input: corrupt or truncated gzip data\n");
    EXPECT_FALSE(dir.exists("out.txt"));
}

TEST(OrvaneCompressed, EveryFormReadsAsThePlainFile) {
    ScratchDir dir;
    dir.write("list.txt", generated_list(40));
    dir.write("matrix.txt", generated_matrix(90));
    run_command(ORVANE_BINARY, {"-l", "list.txt", "-i", "matrix.txt", "-o", "expected.txt"}, "", dir.path());
    const std::string expected = dir.read("expected.txt");
    run_process(ORVANE_BINARY, "list.txt matrix.txt dialogue-expected.txt /dev/null", dir.path());
    const std::string expected_of_dialogue = dir.read("dialogue-expected.txt");
    for (const PackingCase& form : packing_cases()) {
        SCOPED_TRACE(form.name);
        dir.write("matrix.z", packed(dir.read("matrix.txt"), form.packing));
        dir.write("list.z", packed(dir.read("list.txt"), form.packing));
        const ProcessResult batch =
            run_command(ORVANE_BINARY, {"-l", "list.z", "-i", "matrix.z", "-o", "batch.txt"}, "", dir.path());
        EXPECT_EQ(batch.exit_status, 0) << batch.errors;
        EXPECT_TRUE(dir.read("batch.txt") == expected);
        run_process(ORVANE_BINARY, "list.z matrix.z dialogue.txt /dev/null", dir.path());
        EXPECT_TRUE(dir.read("dialogue.txt") == expected_of_dialogue);
    }
}

// Indexes. Matrices of every layout an index holds, one data set or several, with names quoted,
// blanks of every kind and values written every way.
std::string random_matrix(std::mt19937& random, const std::string& layout, int data_sets) {
    const auto pick = [&](int count) { return static_cast<int>(random() % static_cast<unsigned>(count)); };
    const std::vector<std::string> forms = {"0.5", "1", "2.25e-1", "3.000", "-0.125", "7"};
    const auto value = [&] { return forms[static_cast<std::size_t>(pick(static_cast<int>(forms.size())))]; };
    const auto blank = [&] { return std::string(pick(4) == 0 ? "\t " : " "); };
    const int order = 1 + pick(12);
    const auto name = [&](int row) { return (row % 5 == 4 ? "long_name_" : "s") + std::to_string(row); };
    std::string text;
    if (layout == "tsv" || layout == "csv" || layout == "ssv") {
        const std::string delimiter = layout == "tsv" ? "\t" : layout == "csv" ? "," : " ";
        const auto quoted = [&](const std::string& id) { return layout == "tsv" ? id : "\"" + id + "\""; };
        for (int column = 0; column < order; ++column) {
            text += (column == 0 && layout != "ssv" ? delimiter : column == 0 ? "" : delimiter) + quoted(name(column));
        }
        text += "\n";
        for (int row = 0; row < order; ++row) {
            text += quoted(name(row));
            for (int column = 0; column < order; ++column) {
                text += delimiter + value();
            }
            text += pick(5) == 0 ? "\r\n" : "\n";
        }
        return text;
    }
    const bool with_diagonal = pick(2) == 0;
    for (int set = 0; set < data_sets; ++set) {
        text += (set == 0 ? "" : blank()) + std::to_string(order) + "\n";
        for (int row = 0; row < order; ++row) {
            text += name(row);
            const int values = layout == "lower" ? row + (with_diagonal ? 1 : 0) : order;
            for (int column = 0; column < values; ++column) {
                text += blank() + value();
                if (pick(15) == 0) {
                    text += "\n";  // a row may run on over lines
                }
            }
            text += "\n";
        }
    }
    return text;
}

// Through an index every layout, data set and option cuts byte for byte what reading the whole
// matrix cuts, counts and messages alike.
TEST(OrvaneIndex, CutsWhatTheWholeFileReadCuts) {
    std::mt19937 random(20261209);
    ScratchDir dir;
    const std::vector<std::vector<std::string>> option_sets = {{},
                                                               {"--output-format", "tsv"},
                                                               {"--output-format", "square", "--check"},
                                                               {"--dataset", "2"},
                                                               {"--short-names", "map.tsv"},
                                                               {"--output-format", "lower", "-s", "sample.txt"}};
    for (const std::string layout : {"square", "lower", "tsv", "csv", "ssv"}) {
        for (int file = 0; file < 4; ++file) {
            const int data_sets = layout == "square" || layout == "lower" ? 1 + file % 3 : 1;
            dir.write("m.txt", random_matrix(random, layout, data_sets));
            fs::remove(dir / "m.txt.oix");
            const ProcessResult indexing = run_command(ORVANE_BINARY, {"--index", "m.txt"}, "", dir.path());
            ASSERT_EQ(indexing.exit_status, 0) << indexing.errors << dir.read("m.txt");
            std::string list;
            for (int id = 0, count = 1 + static_cast<int>(random() % 6); id < count; ++id) {
                const int row = static_cast<int>(random() % 14);
                list += (row % 5 == 4 ? "long_name_" : "s") + std::to_string(row) + " ";
            }
            dir.write("list.txt", list);
            for (const std::vector<std::string>& options : option_sets) {
                SCOPED_TRACE(dir.read("m.txt") + "list: " + list);
                std::vector<std::string> arguments = {"-l",      "list.txt",        "-i", "m.txt", "-o",
                                                      "out.txt", "--allow-missing", "-v"};
                arguments.insert(arguments.end(), options.begin(), options.end());
                const ProcessResult through = run_command(ORVANE_BINARY, arguments, "", dir.path());
                const std::string outputs = dir.exists("out.txt") ? dir.read("out.txt") : "none";
                const std::string extras = (dir.exists("map.tsv") ? dir.read("map.tsv") : "") +
                                           (dir.exists("sample.txt") ? dir.read("sample.txt") : "");
                for (const char* name : {"out.txt", "map.tsv", "sample.txt"}) {
                    fs::remove(dir / name);
                }
                arguments.push_back("--no-index");
                const ProcessResult whole = run_command(ORVANE_BINARY, arguments, "", dir.path());
                if (through.exit_status == 0) {
                    EXPECT_NE(through.errors.find("orvane: rows read through an index: "), std::string::npos)
                        << through.errors;
                }
                EXPECT_EQ(reading_notes_aside(through.errors), reading_notes_aside(whole.errors));
                EXPECT_EQ(through.exit_status, whole.exit_status);
                EXPECT_TRUE(outputs == (dir.exists("out.txt") ? dir.read("out.txt") : "none"));
                EXPECT_TRUE(extras == (dir.exists("map.tsv") ? dir.read("map.tsv") : "") +
                                          (dir.exists("sample.txt") ? dir.read("sample.txt") : ""));
                for (const char* name : {"out.txt", "map.tsv", "sample.txt"}) {
                    fs::remove(dir / name);
                }
            }
        }
    }
}

// An index that does not hold for the matrix: one warning, then the whole file is read; a row
// that cannot be read is told as the whole-file read tells it.
TEST(OrvaneIndex, ASpoiledIndexIsToldAndTheFileReadWhole) {
    const std::string matrix = "3\nP 0 1 2\nQ 1 0 3\nR 2 3 0\n";  // Q at byte 10
    // Edited in place with the time put back, and the index given the new stamp: only the
    // checks of what the index locates are left to catch it.
    const auto keep_time = [](const ScratchDir& dir, const std::string& text) {
        rewrite_keeping_time(dir, "m.txt", text);
        testing_support::restamp_index(dir, "m.txt.oix", "m.txt", 0);
    };
    const struct {
        std::string name;
        std::function<void(const ScratchDir&)> spoil;
        std::string why;  // empty: no warning
    } spoils[] = {
        {"rewritten", [](const ScratchDir& dir) { dir.write("m.txt", "3\nP 0 1 2\nQ 1 0 3\nR 2 3 0\n\n"); },
         "'m.txt.oix' was made for another version of 'm.txt'"},
        {"a row duplicated in place, the time put back",
         [](const ScratchDir& dir) { rewrite_keeping_time(dir, "m.txt", "3\nP 0 1 2\nP 1 0 3\nR 2 3 0\n"); },
         "'m.txt.oix' was made for another version of 'm.txt'"},
        {"a row renamed in place", [&](const ScratchDir& dir) { keep_time(dir, "3\nP 0 1 2\nX 1 0 3\nR 2 3 0\n"); },
         "'m.txt.oix' does not match 'm.txt' (no row 'Q' at byte 9)"},
        {"rows moved over lines in place",
         [&](const ScratchDir& dir) { keep_time(dir, "3\nP 0 1 2\nQ 1 0\n3 R 2 3 0\n"); }, ""},
        {"a row's name grown in place", [&](const ScratchDir& dir) { keep_time(dir, "3\nP 0 1 2\nQ 1 0 3\nRR 2 3 0"); },
         "'m.txt.oix' does not match 'm.txt' (no row 'R' at byte 17)"},
        // Rows read on two cores at once: the first in the file is told, whichever fails first.
        {"two rows renamed in place", [&](const ScratchDir& dir) { keep_time(dir, "3\nP 0 1 2\nX 1 0 3\nRR 2 3 0"); },
         "'m.txt.oix' does not match 'm.txt' (no row 'Q' at byte 9)"},
        {"a value spoiled in place", [&](const ScratchDir& dir) { keep_time(dir, "3\nP 0 1 2\nQ 1 x 3\nR 2 3 0\n"); },
         ""},
        {"damaged", [](const ScratchDir& dir) { dir.write("m.txt.oix", "ORVANOIX\1"); },
         "'m.txt.oix' cannot be used: it is damaged (its header)"},
        {"a bit flipped in its rows",
         [](const ScratchDir& dir) {
             std::string bytes = dir.read("m.txt.oix");
             bytes[bytes.size() - 12] ^= 0x01;
             dir.write("m.txt.oix", bytes);
         },
         "'m.txt.oix' cannot be used: it is damaged (block 0 of its tables)"},
        {"not an index", [](const ScratchDir& dir) { dir.write("m.txt.oix", "3\n"); },
         "'m.txt.oix' cannot be used: it is no orvane index"},
        // Not files at all: never opened, so neither a hang nor a read without end.
        {"a FIFO",
         [](const ScratchDir& dir) {
             fs::remove(dir / "m.txt.oix");
             ASSERT_EQ(::mkfifo((dir / "m.txt.oix").c_str(), 0600), 0);
         },
         "'m.txt.oix' is a FIFO, not an index file"},
        {"a link to a device",
         [](const ScratchDir& dir) {
             fs::remove(dir / "m.txt.oix");
             fs::create_symlink("/dev/zero", dir / "m.txt.oix");
         },
         "'m.txt.oix' is a character device, not an index file"},
    };
    ScratchDir dir;
    dir.write("list.txt", "R Q");
    for (const auto& [name, spoil, why] : spoils) {
        SCOPED_TRACE(name);
        dir.write("m.txt", matrix);
        fs::remove(dir / "m.txt.oix");  // what the case before left there, FIFO or link
        ASSERT_EQ(run_command(ORVANE_BINARY, {"--index", "m.txt"}, "", dir.path()).exit_status, 0);
        spoil(dir);
        expect_read_whole_after(ORVANE_BINARY, {"-l", "list.txt", "-i", "m.txt", "-o", "-"}, dir, why);
    }
}

}  // namespace
