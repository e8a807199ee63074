// Whole talmiro sessions, in-process and through the built binary, compared byte for byte.
#include "support/session.hpp"
#include "project/version.hpp"
#include "support/compression.hpp"
#include "talmiro/app/run.hpp"
#include "talmiro/index/tix_format.hpp"
#include "talmiro/regions/region_cutting.hpp"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <functional>
#include <map>
#include <random>
#include <string>
#include <vector>

namespace {

using namespace testing_support;

const std::string reading_label = "Reading Input file. Completed... ";
const std::string writing_label = "Writing Output file. Completed... ";
const std::string closing = "\n\nSuccessfully written output file...Exiting now...";
const std::string does_not_exist = "\nFile does not exist, aborting....\n";

std::string list_prompt() { return "\nEnter sequence list file name: "; }
std::string count_line(long long count) { return "\nList file contains " + std::to_string(count) + " entries.\n"; }
std::string fasta_prompt() { return "\nEnter Input FASTA file name: "; }
std::string output_prompt() { return "\nEnter Output FASTA file name: "; }
std::string reading(const std::vector<long long>& percentages) { return meter(reading_label, percentages) + "\n"; }
std::string writing(const std::vector<long long>& percentages) { return meter(writing_label, percentages); }
std::string missing(const std::string& name) { return "\nSequence not found: " + name + "\nContinue (y//n)? "; }

std::string start(long long count) { return banner("TALMIRO") + list_prompt() + count_line(count) + fasta_prompt(); }

// The continue answers come between the input names and the output name.
std::string answering(const std::string& continue_answers) {
    return "list.txt\nin.fa\n" + continue_answers + "out.fa\n";
}

const std::string three_records = ">seq1 first record\nACGTACGT\nACGT\n>seq2\nGGGG\n>seq3 third\nTTTT\nTT\n";

// Reads: four-line, wrapped with a quality line beginning with '@', and with a carriage return.
const std::string read_1 = "@r1/1 lane 1\nACGT\n+\nIIII\n";
const std::string read_2 = "@r2/1\nAC\nGT\n+r2/1\n@I\nII\n";
const std::string read_3 = "@R3/1\r\nA\r\n+\r\nI\r\n";
const std::string reads = read_1 + read_2 + read_3;
const std::string mate_1 = "@r1/2 lane 1\nTTTT\n+\nJJJJ\n";
const std::string mate_2 = "@r2/2\nGGGG\n+\nJJJJ\n";
const std::string mate_3 = "@R3/2\r\nC\r\n+\r\nJ\r\n";
const std::string mates = mate_1 + mate_2 + mate_3;

std::vector<Scenario> scenarios() {
    const std::string found_all = reading({33, 66, 100}) + output_prompt() + writing({33, 66, 100}) + closing;
    const std::string long_header =
        "NC_000913.3 Escherichia coli str. K-12 substr. MG1655, complete genome" + std::string(300, '!');
    std::string long_sequence;
    for (int line = 0; line < 400; ++line) {
        long_sequence += std::string(60, "ACGT"[line % 4]) + "\n";
    }
    return {
        {"three_names_in_file_order",
         {{"list.txt", "seq1\nseq2\nseq3\n"}, {"in.fa", three_records}},
         answering(""),
         start(3) + found_all,
         {{"out.fa", three_records}}},
        {"list_order_differs_from_file_order",
         {{"list.txt", "seq3\nseq1\nseq2"}, {"in.fa", three_records}},
         answering(""),
         start(3) + found_all,
         {{"out.fa", ">seq3 third\nTTTT\nTT\n>seq1 first record\nACGTACGT\nACGT\n>seq2\nGGGG\n"}}},
        {"a_name_begins_the_header",
         {{"list.txt", "seq1\n"}, {"in.fa", ">seq10\nAA\n>seq1 more text\nCC\n"}},
         answering(""),
         start(1) + reading({100, 200}) + output_prompt() + writing({100}) + closing,
         {{"out.fa", ">seq10\nAA\n>seq1 more text\nCC\n"}}},
        {"names_are_case_sensitive",
         {{"list.txt", "Seq1\n"}, {"in.fa", ">seq1\nAA\n"}},
         answering("n\n"),
         start(1) + reading({}) + missing("Seq1"),
         {}},
        {"an_earlier_name_shadows_a_longer_one",
         {{"list.txt", "a\nab\n"}, {"in.fa", ">ab\nAA\n"}},
         answering("y\n"),
         start(2) + reading({50}) + missing("ab") + output_prompt() + writing({50}) + closing,
         {{"out.fa", ">ab\nAA\n"}}},
        {"refusal_ends_quietly",
         {{"list.txt", "x\nseq1\ny\n"}, {"in.fa", three_records}},
         answering("n\n"),
         start(3) + reading({33}) + missing("x"),
         {}},
        {"yes_then_another_answer",
         {{"list.txt", "x\nseq1\ny\n"}, {"in.fa", three_records}},
         answering("y\nq\n"),
         start(3) + reading({33}) + missing("x") + missing("y"),
         {}},
        {"every_missing_name_accepted",
         {{"list.txt", "x\nseq2\ny\n"}, {"in.fa", three_records}},
         answering("Y\ny\n"),
         start(3) + reading({33}) + missing("x") + missing("y") + output_prompt() + writing({33}) + closing,
         {{"out.fa", ">seq2\nGGGG\n"}}},
        {"list_file_missing", {}, "nothing.txt\n", banner("TALMIRO") + list_prompt() + does_not_exist, {}},
        {"fasta_file_missing",
         {{"list.txt", "a\n"}},
         "list.txt\nnothing.fa\n",
         banner("TALMIRO") + list_prompt() + count_line(1) + fasta_prompt() + does_not_exist,
         {}},
        {"output_folder_missing",
         {{"list.txt", "seq2\n"}, {"in.fa", three_records}},
         "list.txt in.fa nowhere/out.fa",
         start(1) + reading({100}) + output_prompt() + "\nUnable to create file, aborting....\n",
         {}},
        {"empty_list",
         {{"list.txt", ""}, {"in.fa", three_records}},
         answering(""),
         start(0) + reading({}) + output_prompt() + writing({}) + closing,
         {{"out.fa", ""}}},
        {"empty_fasta_file",
         {{"list.txt", "a\nb\n"}, {"in.fa", ""}},
         answering("y\ny\n"),
         start(2) + reading({}) + missing("a") + missing("b") + output_prompt() + writing({}) + closing,
         {{"out.fa", ""}}},
        {"no_final_line_break",
         {{"list.txt", "b\na\n"}, {"in.fa", ">a\nAC\nGT\n>b\nTTTT"}},
         answering(""),
         start(2) + reading({50, 100}) + output_prompt() + writing({50, 100}) + closing,
         {{"out.fa", ">b\nTTTT\n>a\nAC\nGT\n"}}},
        {"a_greater_than_sign_inside_a_line_starts_a_record",
         {{"list.txt", "b\na\n"}, {"in.fa", ">a\nACG>b\nTT\n"}},
         answering(""),
         start(2) + reading({50, 100}) + output_prompt() + writing({50, 100}) + closing,
         {{"out.fa", ">b\nTT\n>a\nACG\n"}}},
        {"a_blank_before_the_first_record",
         {{"list.txt", "a\n"}, {"in.fa", " >a\nAC\n>a2\nGG\n"}},
         answering(""),
         start(1) + reading({100}) + output_prompt() + writing({100}) + closing,
         {{"out.fa", ">a2\nGG\n"}}},
        // Text before the first header is no record: passed over, as Biopython's reader does.
        {"text_before_the_first_header_is_passed_over",
         {{"list.txt", "a\nello\n"}, {"in.fa", "hello world\nmore\n>a\nAC\n"}},
         answering("y\n"),
         start(2) + reading({50}) + missing("ello") + output_prompt() + writing({50}) + closing,
         {{"out.fa", ">a\nAC\n"}}},
        {"blank_lines_before_the_first_record_are_skipped",
         {{"list.txt", "a\n"}, {"in.fa", "\n \t\r\n\n>a\nAC\n>b\nGG\n"}},
         answering(""),
         start(1) + reading({100}) + output_prompt() + writing({100}) + closing,
         {{"out.fa", ">a\nAC\n"}}},
        {"a_byte_order_mark_is_not_part_of_the_first_name",
         {{"list.txt", "\xEF\xBB\xBFseq2\nseq1\n"}, {"in.fa", three_records}},
         answering(""),
         start(2) + reading({50, 100}) + output_prompt() + writing({50, 100}) + closing,
         {{"out.fa", ">seq2\nGGGG\n>seq1 first record\nACGTACGT\nACGT\n"}}},
        // A first byte other than '>' is no marker: its line is text before the first header.
        {"a_first_line_without_its_marker_is_no_record",
         {{"list.txt", "seq\n"}, {"in.fa", "Xseq\nAC\n"}},
         answering("y\n"),
         start(1) + reading({}) + missing("seq") + output_prompt() + writing({}) + closing,
         {{"out.fa", ""}}},
        {"output_replaces_the_input",
         {{"list.txt", "seq2\n"}, {"in.fa", three_records}},
         "list.txt in.fa in.fa",
         start(1) + reading({100}) + output_prompt() + writing({100}) + closing,
         {{"in.fa", ">seq2\nGGGG\n"}}},
        {"an_empty_sequence_is_written_as_its_header",
         {{"list.txt", "e\n"}, {"in.fa", ">e\n>f\nAA\n"}},
         answering(""),
         start(1) + reading({100}) + output_prompt() + writing({100}) + closing,
         {{"out.fa", ">e\n"}}},
        // Changes from the original behaviour, one or more scenarios each.
        {"long_names_headers_and_sequences_are_held_whole",
         {{"list.txt", "NC_000913.3 Escherichia\nshort\n"},
          {"in.fa", ">" + long_header + "\n" + long_sequence + ">short\nA\n"}},
         answering(""),
         start(2) + reading({50, 100}) + output_prompt() + writing({50, 100}) + closing,
         {{"out.fa", ">" + long_header + "\n" + long_sequence + ">short\nA\n"}}},
        {"a_long_list_line_does_not_end_the_list",
         {{"list.txt", "abcdefghijklmnop\nseq2\n"}, {"in.fa", three_records}},
         answering("y\n"),
         start(2) + reading({50}) + missing("abcdefghijklmnop") + output_prompt() + writing({50}) + closing,
         {{"out.fa", ">seq2\nGGGG\n"}}},
        {"empty_list_lines_are_not_names",
         {{"list.txt", "\nseq2\n\n\nseq3\n\n"}, {"in.fa", three_records}},
         answering(""),
         start(2) + reading({50, 100}) + output_prompt() + writing({50, 100}) + closing,
         {{"out.fa", ">seq2\nGGGG\n>seq3 third\nTTTT\nTT\n"}}},
        {"a_name_keeps_every_record_it_takes",
         {{"list.txt", "x\ny\n"}, {"in.fa", ">x1\nA\n>y\nC\n>x2\nG\n"}},
         answering(""),
         start(2) + reading({50, 100, 150}) + output_prompt() + writing({50, 100}) + closing,
         {{"out.fa", ">x1\nA\n>x2\nG\n>y\nC\n"}}},
        {"a_name_listed_twice_is_found_at_both_places",
         {{"list.txt", "seq2\nseq1\nseq2\n"}, {"in.fa", three_records}},
         answering(""),
         start(3) + reading({33, 66}) + output_prompt() + writing({33, 66, 100}) + closing,
         {{"out.fa", ">seq2\nGGGG\n>seq1 first record\nACGTACGT\nACGT\n>seq2\nGGGG\n"}}},
        {"carriage_returns_end_lines_but_are_kept_in_records",
         {{"list.txt", "seq1\r\nseq2\r\n"}, {"in.fa", ">seq2\r\nGG\r\n>seq1\r\nAA\r\n"}},
         answering(""),
         start(2) + reading({50, 100}) + output_prompt() + writing({50, 100}) + closing,
         {{"out.fa", ">seq1\r\nAA\r\n>seq2\r\nGG\r\n"}}},
        {"a_record_always_ends_with_a_line_break",
         {{"list.txt", "b\na\n"}, {"in.fa", ">a\nACGT>b\nTT"}},
         answering(""),
         start(2) + reading({50, 100}) + output_prompt() + writing({50, 100}) + closing,
         {{"out.fa", ">b\nTT\n>a\nACGT\n"}}},
        {"a_header_at_the_end_of_the_file_without_a_line_break",
         {{"list.txt", "z\n"}, {"in.fa", ">a\nAC\n>z"}},
         answering(""),
         start(1) + reading({100}) + output_prompt() + writing({100}) + closing,
         {{"out.fa", ">z\n"}}},
        {"an_output_that_cannot_be_written",
         {{"list.txt", "seq2\n"}, {"in.fa", three_records}},
         "list.txt in.fa /dev/full",
         start(1) + reading({100}) + output_prompt() + writing({100}) + "\nUnable to write file, aborting....\n",
         {}},
        {"input_ending_before_the_list_name", {}, "", banner("TALMIRO") + list_prompt() + does_not_exist, {}},
        {"input_ending_before_the_fasta_name",
         {{"list.txt", "a\n"}},
         "list.txt",
         banner("TALMIRO") + list_prompt() + count_line(1) + fasta_prompt() + does_not_exist,
         {}},
        {"a_fastq_file_is_read_as_fastq",
         {{"list.txt", "r2\nr1\n"}, {"in.fa", reads}},
         answering(""),
         start(2) + reading({50, 100}) + output_prompt() + writing({50, 100}) + closing,
         {{"out.fa", read_2 + read_1}}},
        {"a_malformed_fastq_record_ends_the_reading_there",
         {{"list.txt", "r1\nr2\n"}, {"in.fa", read_1 + "@r2\nACGT\n+\nII\n" + read_3}},
         answering("y\n"),
         start(2) + reading({50}) + missing("r2") + output_prompt() + writing({50}) + closing,
         {{"out.fa", read_1}}},
        {"input_ending_before_a_continue_answer_is_no",
         {{"list.txt", "x\n"}, {"in.fa", three_records}},
         "list.txt in.fa",
         start(1) + reading({}) + missing("x"),
         {}},
    };
}

class TalmiroSession : public ::testing::TestWithParam<std::tuple<Scenario, Mode>> {};

TEST_P(TalmiroSession, TranscriptAndFilesMatch) {
    const auto& [scenario, mode] = GetParam();
    expect_scenario(scenario, mode, talmiro::run, TALMIRO_BINARY);
}

INSTANTIATE_TEST_SUITE_P(Talmiro, TalmiroSession,
                         ::testing::Combine(::testing::ValuesIn(scenarios()),
                                            ::testing::Values(Mode::in_process, Mode::binary)),
                         [](const auto& test_info) {
                             return scenario_test_name(std::get<0>(test_info.param), std::get<1>(test_info.param));
                         });

// Batch mode through the built binary.
const std::string contigs = ">contig_1 a\nAA\n>contig_10\nCC\n>contig_2\nGG\n";
std::vector<std::string> arguments(std::vector<std::string> extra) {
    std::vector<std::string> all = {"-l", "list.txt", "-i", "in.fa", "-o", "out.fa"};
    all.insert(all.end(), extra.begin(), extra.end());
    return all;
}
const std::string usage_hint = "Try 'talmiro --help' for more information.\n";

std::vector<BatchScenario> batch_scenarios() {
    std::string many_names;
    for (int name = 1; name <= 25; ++name) {
        many_names += "n" + std::to_string(name) + "\n";
    }
    const Files inputs = {{"list.txt", "seq3\nseq1\n"}, {"in.fa", three_records}};
    const std::string seq3_seq1 = ">seq3 third\nTTTT\nTT\n>seq1 first record\nACGTACGT\nACGT\n";
    return {
        {"short_options", inputs, arguments({}), "", 0, "", "", {{"out.fa", seq3_seq1}}},
        {"long_options_with_equals",
         inputs,
         {"--list=list.txt", "--input", "in.fa", "--output=out.fa"},
         "",
         0,
         "",
         "",
         {{"out.fa", seq3_seq1}}},
        {"list_from_standard_input",
         {{"in.fa", three_records}},
         {"-l", "-", "-i", "in.fa", "-o", "out.fa"},
         "seq3\nseq1\n",
         0,
         "",
         "",
         {{"out.fa", seq3_seq1}}},
        {"fasta_from_standard_input_to_standard_output",
         {{"list.txt", "seq3\nseq1\n"}},
         {"-l", "list.txt", "-i", "-", "-o", "-"},
         three_records,
         0,
         seq3_seq1,
         "",
         {}},
        {"text_before_the_first_header_fails_naming_its_line",
         {{"list.txt", "a\n"}, {"in.fa", "\n\nhello world\n>a\nAC\n"}},
         {"-l", "list.txt", "-i", "in.fa", "-o", "out.fa", "--exclude"},
         "",
         1,
         "",
         "talmiro: 'in.fa' line 3: text before the first record's '>' is no record\n",
         {}},
        // Messages that lead to the cause.
        {"a_name_listed_three_times_and_missing_is_told_once",
         {{"list.txt", "q\nseq1\nq\nq\n"}, {"in.fa", three_records}},
         arguments({}),
         "",
         1,
         "",
         "talmiro: warning: 'q' is listed 3 times: it is written at each place\n"
         "talmiro: 'q' not found in 'in.fa' (listed 3 times)\n",
         {}},
        {"past_twenty_missing_names_only_their_number_is_told",
         {{"list.txt", many_names}, {"in.fa", three_records}},
         {"-l", "list.txt", "-i", "in.fa", "-o", "out.fa", "--allow-missing"},
         "",
         0,
         "",
         "talmiro: warning: 'n1' not found in 'in.fa'\ntalmiro: warning: 'n2' not found in 'in.fa'\ntalmiro: warning: "
         "'n3' not found in 'in.fa'\ntalmiro: warning: 'n4' not found in 'in.fa'\ntalmiro: warning: 'n5' not found in "
         "'in.fa'\ntalmiro: warning: 'n6' not found in 'in.fa'\ntalmiro: warning: 'n7' not found in 'in.fa'\ntalmiro: "
         "warning: 'n8' not found in 'in.fa'\ntalmiro: warning: 'n9' not found in 'in.fa'\ntalmiro: warning: 'n10' not "
         "found in 'in.fa'\ntalmiro: warning: 'n11' not found in 'in.fa'\ntalmiro: warning: 'n12' not found in "
         "'in.fa'\ntalmiro: warning: 'n13' not found in 'in.fa'\ntalmiro: warning: 'n14' not found in "
         "'in.fa'\ntalmiro: warning: 'n15' not found in 'in.fa'\ntalmiro: warning: 'n16' not found in "
         "'in.fa'\ntalmiro: warning: 'n17' not found in 'in.fa'\ntalmiro: warning: 'n18' not found in "
         "'in.fa'\ntalmiro: warning: 'n19' not found in 'in.fa'\ntalmiro: warning: 'n20' not found in "
         "'in.fa'\ntalmiro: warning: 5 more listed names not found in 'in.fa'\n",
         {{"out.fa", ""}}},
        {"an_empty_value_is_told",
         {{"in.fa", three_records}},
         {"--list=", "-i", "in.fa", "-o", "-"},
         "",
         2,
         "",
         "talmiro: '--list=' gives --list no value\nTry 'talmiro --help' for more information.\n",
         {}},
        {"only_one_input_can_be_standard_input",
         {{"list.txt", "a\n"}},
         {"-l", "list.txt", "-i", "-", "-i", "-", "-o", "a.fa", "-o", "b.fa"},
         "",
         2,
         "",
         "talmiro: only one input can be standard input (-)\nTry 'talmiro --help' for more information.\n",
         {}},
        {"word_matching_by_default",
         {{"list.txt", "contig_1\n"}, {"in.fa", contigs}},
         arguments({}),
         "",
         0,
         "",
         "",
         {{"out.fa", ">contig_1 a\nAA\n"}}},
        {"prefix_matching_as_asked",
         {{"list.txt", "contig_1\n"}, {"in.fa", contigs}},
         arguments({"--match", "prefix", "-v"}),
         "",
         0,
         "",
         "talmiro: list entries: 1\ntalmiro: index not used for 'in.fa': no 'in.fa.tix' beside it\n"
         "talmiro: records scanned: 3\ntalmiro: records taken by a name that only begins their first word: 1\n"
         "talmiro: found: 1\ntalmiro: missing: 0\ntalmiro: written: 2\n",
         {{"out.fa", ">contig_1 a\nAA\n>contig_10\nCC\n"}}},
        // A shorter name listed first no longer leaves a longer one that is a whole first word
        // without its record; each record is written once.
        {"prefix_matching_gives_a_whole_word_its_record",
         {{"list.txt", "r:1902\nr:19024\n"}, {"in.fa", ">r:19024 x\nAC\n>r:1902\nGG\n>r:19025\nTT\n"}},
         arguments({"--match", "prefix"}),
         "",
         0,
         "",
         "",
         {{"out.fa", ">r:1902\nGG\n>r:19025\nTT\n>r:19024 x\nAC\n"}}},
        {"word_matching_takes_only_the_whole_word",
         {{"list.txt", "r:1902\nr:19024\n"}, {"in.fa", ">r:19024 x\nAC\n>r:1902\nGG\n>r:19025\nTT\n"}},
         arguments({}),
         "",
         0,
         "",
         "",
         {{"out.fa", ">r:1902\nGG\n>r:19024 x\nAC\n"}}},
        {"exact_matches_the_first_word",
         {{"list.txt", "contig_1\ncontig_2\n"}, {"in.fa", contigs}},
         arguments({"--exact"}),
         "",
         0,
         "",
         "",
         {{"out.fa", ">contig_1 a\nAA\n>contig_2\nGG\n"}}},
        {"missing_names_fail_before_any_output",
         {{"list.txt", "x\nseq1\ny\t\n"}, {"in.fa", three_records}, {"out.fa", "kept"}},
         arguments({}),
         "",
         1,
         "",
         "talmiro: 'x' not found in 'in.fa'\ntalmiro: 'y\\t' not found in 'in.fa'\n"
         "talmiro: warning: 'y\\t' holds a blank, and a header's first word never does: --list-column 1 takes each "
         "list line's first field, --match prefix or full the header line\n",
         {}},
        {"missing_names_allowed_are_warnings",
         {{"list.txt", "x\nseq1\n"}, {"in.fa", three_records}},
         arguments({"--allow-missing", "-q"}),
         "",
         0,
         "",
         "talmiro: warning: 'x' not found in 'in.fa'\n",
         {{"out.fa", ">seq1 first record\nACGTACGT\nACGT\n"}}},
        {"verbose_counts",
         inputs,
         arguments({"-v"}),
         "",
         0,
         "",
         "talmiro: list entries: 2\ntalmiro: index not used for 'in.fa': no 'in.fa.tix' beside it\n"
         "talmiro: records scanned: 3\ntalmiro: found: 2\ntalmiro: missing: 0\n"
         "talmiro: written: 2\n",
         {{"out.fa", seq3_seq1}}},
        {"list_file_missing",
         {{"in.fa", three_records}},
         arguments({}),
         "",
         1,
         "",
         "talmiro: cannot open 'list.txt': No such file or directory\n",
         {}},
        {"output_folder_missing",
         inputs,
         {"-l", "list.txt", "-i", "in.fa", "-o", "nowhere/out.fa"},
         "",
         1,
         "",
         "talmiro: cannot create 'nowhere/out.fa': No such file or directory\n",
         {}},
        {"output_that_cannot_be_written",
         inputs,
         {"-l", "list.txt", "-i", "in.fa", "-o", "/dev/full"},
         "",
         1,
         "",
         "talmiro: cannot write '/dev/full': No space left on device\n",
         {}},
        {"output_replaces_the_input",
         inputs,
         {"-l", "list.txt", "-i", "in.fa", "-o", "in.fa"},
         "",
         0,
         "",
         "",
         {{"in.fa", seq3_seq1}}},
        {"unknown_option",
         inputs,
         arguments({"--sample", "x"}),
         "",
         2,
         "",
         "talmiro: unknown option '--sample'\n" + usage_hint,
         {}},
        {"missing_option",
         inputs,
         {"-l", "list.txt", "-o", "out.fa"},
         "",
         2,
         "",
         "talmiro: --input is required\n" + usage_hint,
         {}},
        // Peer-shaped command lines: inputs as arguments, standard output by default.
        {"inputs_as_arguments_to_standard_output",
         {{"list.txt", "seq3\nseq1\n"}, {"in.fa", three_records}},
         {"-l", "list.txt", "in.fa"},
         "",
         0,
         ">seq3 third\nTTTT\nTT\n>seq1 first record\nACGTACGT\nACGT\n",
         "",
         {}},
        {"several_inputs_need_their_outputs",
         {{"list.txt", "seq1\n"}, {"in.fa", three_records}},
         {"-l", "list.txt", "in.fa", "in.fa"},
         "",
         2,
         "",
         "talmiro: each --input needs its own --output (2 inputs, 0 outputs)\n" + usage_hint,
         {}},
        {"a_column_of_a_hits_table",
         {{"list.txt", "seq3\t98.1\t120\n\nseq1 99.0 77\n"}, {"in.fa", three_records}},
         {"-l", "list.txt", "in.fa", "--list-column", "1", "-o", "out.fa"},
         "",
         0,
         "",
         "",
         {{"out.fa", ">seq3 third\nTTTT\nTT\n>seq1 first record\nACGTACGT\nACGT\n"}}},
        {"a_list_line_without_the_column",
         {{"list.txt", "seq3\t98.1\nseq1\n"}, {"in.fa", three_records}},
         {"-l", "list.txt", "in.fa", "--list-column", "2"},
         "",
         1,
         "",
         "talmiro: 'list.txt' line 2: it has no field 2 (--list-column 2)\n",
         {}},
        {"an_output_suffix_that_cannot_be_written",
         {{"list.txt", "seq1\n"}, {"in.fa", three_records}},
         {"-l", "list.txt", "in.fa", "-o", "out.fa.lz4"},
         "",
         2,
         "",
         "talmiro: 'out.fa.lz4' names a .lz4 file, which cannot be written: name it .gz or .bgz (BGZF), .zst, "
         ".bz2 or .xz, or without a compression suffix for plain text\n" +
             usage_hint,
         {}},
        {"a_level_outside_the_codec",
         {{"list.txt", "seq1\n"}, {"in.fa", three_records}},
         {"-l", "list.txt", "in.fa", "-o", "out.fa.bz2", "--level", "12"},
         "",
         2,
         "",
         "talmiro: --level 12 is outside bzip2's levels, 1 to 9 (for 'out.fa.bz2')\n" + usage_hint,
         {}},
        {"a_zip_archive_is_no_fasta",
         {{"list.txt", "seq1\n"}, {"in.fa", std::string("PK\x03\x04\x14\0\0\0", 8) + three_records}},
         {"-l", "list.txt", "in.fa", "--exclude"},
         "",
         1,
         "",
         "talmiro: 'in.fa': it is a zip archive, not FASTA or FASTQ\n",
         {}},
        {"stray_argument",
         inputs,
         arguments({"extra"}),
         "",
         2,
         "",
         "talmiro: the input is named both with --input and as 'extra': name it one way\n" + usage_hint,
         {}},
        {"both_inputs_from_standard_input",
         {},
         {"-l", "-", "-i", "-", "-o", "out.fa"},
         "",
         2,
         "",
         "talmiro: only one of --list and --input can be standard input (-)\n" + usage_hint,
         {}},
        {"version", {}, {"--version"}, "", 0, "talmiro " ORVANE_TALMIRO_VERSION "\n", "", {}},
        // Reads, pairs, exclusion and the match modes.
        {"fastq_in_list_order",
         {{"list.txt", "r2\nr1\n"}, {"in.fa", reads}},
         arguments({}),
         "",
         0,
         "",
         "",
         {{"out.fa", read_2 + read_1}}},
        {"fastq_from_standard_input",
         {{"list.txt", "R3\nr1\n"}},
         {"-l", "list.txt", "-i", "-", "-o", "-"},
         reads,
         0,
         read_3 + read_1,
         "",
         {}},
        {"word_takes_both_mates_and_the_numbered_name",
         {{"list.txt", "r1\nr2/1\n"}, {"in.fa", reads + mates}},
         arguments({"--match", "word"}),
         "",
         0,
         "",
         "",
         {{"out.fa", read_1 + mate_1 + read_2}}},
        {"word_is_the_first_word_only",
         {{"list.txt", "r1/1 lane\n"}, {"in.fa", reads}},
         arguments({"--match", "word", "--allow-missing", "-q"}),
         "",
         0,
         "",
         "talmiro: warning: 'r1/1 lane' not found in 'in.fa'\n"
         "talmiro: warning: 'r1/1 lane' holds a blank, and a header's first word never does: --list-column 1 takes "
         "each list line's first field, --match prefix or full the header line\n",
         {{"out.fa", ""}}},
        // White space before a header's first word is passed over, as samtools and Biopython read
        // it: the record's name is "foo".
        {"word_passes_over_blanks_before_the_first_word",
         {{"list.txt", "foo\n"}, {"in.fa", ">  foo bar\nAC\n>foo2\nGG\n"}},
         arguments({"--match", "word"}),
         "",
         0,
         "",
         "",
         {{"out.fa", ">  foo bar\nAC\n"}}},
        {"full_takes_the_whole_header_line",
         {{"list.txt", "r1/1 lane 1\nR3/1\nr2\n"}, {"in.fa", reads}},
         arguments({"--match", "full", "--allow-missing"}),
         "",
         0,
         "",
         "talmiro: warning: 'r2' not found in 'in.fa'\n",
         {{"out.fa", read_1 + read_3}}},
        {"ignore_case_in_every_mode",
         {{"list.txt", "r3/1\nR1\n"}, {"in.fa", reads}},
         arguments({"--match", "word", "--ignore-case"}),
         "",
         0,
         "",
         "",
         {{"out.fa", read_3 + read_1}}},
        {"names_differing_in_case_take_the_same_records",
         {{"list.txt", "r1\nR1\n"}, {"in.fa", reads}},
         arguments({"--ignore-case"}),
         "",
         0,
         "",
         "",
         {{"out.fa", read_1 + read_1}}},
        {"order_file_writes_each_record_once_as_read",
         {{"list.txt", "R3\nr1\nr1\n"}, {"in.fa", reads}},
         arguments({"--order", "file", "-v"}),
         "",
         0,
         "",
         "talmiro: list entries: 3\ntalmiro: index not used for 'in.fa': no 'in.fa.tix' beside it\n"
         "talmiro: records scanned: 3\ntalmiro: found: 3\ntalmiro: missing: 0\n"
         "talmiro: written: 2\n",
         {{"out.fa", read_1 + read_3}}},
        {"order_file_to_standard_output_reports_missing_names_after_it",
         {{"list.txt", "x\nr1\n"}, {"in.fa", reads}},
         {"-l", "list.txt", "-i", "in.fa", "-o", "-", "--order", "file"},
         "",
         1,
         read_1,
         "talmiro: 'x' not found in 'in.fa'\n",
         {}},
        {"order_file_to_a_file_leaves_no_output_when_a_name_is_missing",
         {{"list.txt", "x\nr1\n"}, {"in.fa", reads}, {"out.fa", "kept"}},
         arguments({"--order", "file"}),
         "",
         1,
         "",
         "talmiro: 'x' not found in 'in.fa'\n",
         {{"out.fa", "kept"}}},
        {"exclude_writes_the_rest_in_file_order",
         {{"list.txt", "absent\nr2\n"}, {"in.fa", reads}},
         arguments({"--exclude", "--match", "word", "-v"}),
         "",
         0,
         "",
         "talmiro: list entries: 2\ntalmiro: index not used for 'in.fa': --exclude reads every record\n"
         "talmiro: records scanned: 3\ntalmiro: found: 1\ntalmiro: missing: 1\n"
         "talmiro: written: 2\n",
         {{"out.fa", read_1 + read_3}}},
        {"exclude_from_fasta",
         {{"list.txt", "seq2\n"}, {"in.fa", three_records}},
         arguments({"--exclude"}),
         "",
         0,
         "",
         "",
         {{"out.fa", ">seq1 first record\nACGTACGT\nACGT\n>seq3 third\nTTTT\nTT\n"}}},
        {"pairs_stay_in_step",
         {{"list.txt", "R3\nr1\n"}, {"r1.fq", reads}, {"r2.fq", mates}},
         {"-l", "list.txt", "-i", "r1.fq", "-i", "r2.fq", "-o", "o1.fq", "-o", "o2.fq", "--match", "word"},
         "",
         0,
         "",
         "",
         {{"o1.fq", read_3 + read_1}, {"o2.fq", mate_3 + mate_1}}},
        {"pairs_excluded_stay_in_step",
         {{"list.txt", "r2\n"}, {"r1.fq", reads}, {"r2.fq", mates}},
         {"-l", "list.txt", "-i", "r1.fq", "-i", "r2.fq", "-o", "o1.fq", "-o", "o2.fq", "--match", "word", "--exclude"},
         "",
         0,
         "",
         "",
         {{"o1.fq", read_1 + read_3}, {"o2.fq", mate_1 + mate_3}}},
        // Excluding, every record is held to be its mate's: one read gone from R2 is told.
        {"pairs_excluded_out_of_step_fail_naming_both_records",
         {{"list.txt", "x\n"}, {"r1.fq", reads}, {"r2.fq", mate_1 + mate_3}},
         {"-l", "list.txt", "-i", "r1.fq", "-i", "r2.fq", "-o", "o1.fq", "-o", "o2.fq", "--exclude"},
         "",
         1,
         "",
         "talmiro: record 2 is 'r2/1' in 'r1.fq' but 'R3/2' in 'r2.fq': the inputs are not read pairs in step "
         "(--no-mate-check reads them as they are)\n",
         {}},
        {"pairs_in_file_order_unchecked_on_request",
         {{"list.txt", "r1\n"}, {"r1.fq", reads}, {"r2.fq", mate_1 + mate_3}},
         {"-l", "list.txt", "-i", "r1.fq", "-i", "r2.fq", "-o", "o1.fq", "-o", "o2.fq", "--order", "file", "--match",
          "word", "--no-mate-check"},
         "",
         0,
         "",
         "",
         {{"o1.fq", read_1}, {"o2.fq", mate_1}}},
        {"a_name_missing_from_every_input_is_named_with_them",
         {{"list.txt", "x\n"}, {"r1.fq", reads}, {"r2.fq", mates}},
         {"-l", "list.txt", "-i", "r1.fq", "-i", "r2.fq", "-o", "o1.fq", "-o", "o2.fq"},
         "",
         1,
         "",
         "talmiro: 'x' not found in 'r1.fq' or 'r2.fq'\n",
         {}},
        {"pairs_out_of_step_fail_even_with_allow_missing",
         {{"list.txt", "r2\n"}, {"r1.fq", reads}, {"r2.fq", mate_1 + mate_3}},
         {"-l", "list.txt", "-i", "r1.fq", "-i", "r2.fq", "-o", "o1.fq", "-o", "o2.fq", "--match", "word",
          "--allow-missing"},
         "",
         1,
         "",
         "talmiro: 'r2' takes 1 record in 'r1.fq' but 0 records in 'r2.fq'\n",
         {}},
        {"pairs_write_to_two_different_outputs",
         {{"list.txt", "r1\n"}, {"r1.fq", reads}, {"r2.fq", mates}},
         {"-l", "list.txt", "-i", "r1.fq", "-i", "r2.fq", "-o", "o.fq", "-o", "./o.fq"},
         "",
         1,
         "",
         "talmiro: the outputs 'o.fq' and './o.fq' are one file\n",
         {}},
        {"each_input_needs_its_output",
         {{"list.txt", "r1\n"}, {"r1.fq", reads}},
         {"-l", "list.txt", "-i", "r1.fq", "-i", "r1.fq", "-o", "o.fq"},
         "",
         2,
         "",
         "talmiro: each --input needs its own --output (2 inputs, 1 outputs)\n" + usage_hint,
         {}},
        {"exclude_cannot_keep_list_order",
         inputs,
         arguments({"--exclude", "--order", "list"}),
         "",
         2,
         "",
         "talmiro: --exclude writes in file order: it cannot go with --order list\n" + usage_hint,
         {}},
        {"exact_is_match_word",
         inputs,
         arguments({"--exact", "--match", "full"}),
         "",
         2,
         "",
         "talmiro: --exact is --match word: it cannot go with --match full\n" + usage_hint,
         {}},
        {"one_list_only",
         inputs,
         arguments({"-l", "other.txt"}),
         "",
         2,
         "",
         "talmiro: --list names one file, not 2\n" + usage_hint,
         {}},
        {"unknown_match_mode",
         inputs,
         arguments({"--match", "regex"}),
         "",
         2,
         "",
         "talmiro: --match: regex not in {word,prefix,full}\n" + usage_hint,
         {}},
        // Indexing: a mode of its own, for files only.
        {"index_takes_no_list",
         inputs,
         {"--index", "in.fa", "-l", "list.txt"},
         "",
         2,
         "",
         "talmiro: --list cannot go with --index\n" + usage_hint,
         {}},
        {"index_takes_no_extraction_option",
         inputs,
         {"--index", "--match", "word", "in.fa"},
         "",
         2,
         "",
         "talmiro: --index takes files and no other option than -q or -v\n" + usage_hint,
         {}},
        {"index_needs_a_file",
         inputs,
         {"--index", "-v"},
         "",
         2,
         "",
         "talmiro: --index names no file\n" + usage_hint,
         {}},
        {"index_of_standard_input",
         inputs,
         {"--index", "-"},
         "",
         2,
         "",
         "talmiro: an index is made for a file: standard input (-) cannot have one\n" + usage_hint,
         {}},
        {"index_of_a_missing_file",
         inputs,
         {"--index", "nowhere.fa", "in.fa"},
         "",
         1,
         "",
         "talmiro: cannot open 'nowhere.fa': No such file or directory\n",
         {}},
        {"index_of_a_file_whose_record_begins_inside_a_line",
         {{"in.fa", ">a\nAC>b\nGG\n"}},
         {"--index", "in.fa"},
         "",
         1,
         "",
         "talmiro: 'in.fa': the record 'b' begins inside a line (a '>' there), which no index can describe: the "
         "file is read whole each time\n",
         {}},
        {"index_of_a_file_not_beginning_with_a_marker",
         {{"in.fa", "x\n>a\nAC\n"}},
         {"--index", "in.fa"},
         "",
         1,
         "",
         "talmiro: 'in.fa' line 1: text before the first record's '>' is no record\n",
         {}},
        // Regions, in place of the list: as samtools faidx writes them.
        {"regions_as_samtools_writes_them",
         {{"in.fa", three_records}},
         {"-i", "in.fa", "--region", "seq1:3-10", "--region", "seq3", "--region", "seq2:2"},
         "",
         0,
         ">seq1:3-10\nGTACGTAC\n>seq3\nTTTTTT\n>seq2:2\nGGG\n",
         "",
         {}},
        {"regions_reverse_complemented_in_short_lines",
         {{"in.fa", three_records}},
         {"-i", "in.fa", "--region", "seq1:1-5", "--reverse-complement", "--line-width", "4"},
         "",
         0,
         ">seq1:1-5/rc\nTACG\nT\n",
         "",
         {}},
        {"bed_intervals_by_strand_and_name",
         {{"in.fa", three_records}, {"r.bed", "seq1\t1\t5\tfirst\t0\t-\n# c\nseq3\t2\t6\tthird\t0\t+\n"}},
         {"-i", "in.fa", "--bed", "r.bed", "--strand", "--name-from-bed", "-o", "out.fa"},
         "",
         0,
         "",
         "",
         {{"out.fa", ">first/rc\nTACG\n>third\nTTTT\n"}}},
        {"region_file_in_file_order",
         {{"in.fa", three_records}, {"regions.txt", "seq3:1-2\n\n  seq1:1-2  \n"}},
         {"-i", "in.fa", "--regions", "regions.txt", "--order", "file"},
         "",
         0,
         ">seq1:1-2\nAC\n>seq3:1-2\nTT\n",
         "",
         {}},
        {"fastq_regions_keep_their_qualities",
         {{"in.fq", reads}},
         {"-i", "in.fq", "--region", "r1/1:2-3", "--region", "r2/1:2-4", "--region", "R3/1"},
         "",
         0,
         "@r1/1:2-3\nCG\n+\nII\n@r2/1:2-4\nCGT\n+\nIII\n@R3/1\nA\n+\nI\n",
         "",
         {}},
        {"braced_names_hold_colons",
         {{"in.fa", ">a:b x\nACGT\n"}},
         {"-i", "in.fa", "--region", "{a:b}:2-3", "--region", "a:b:1-1"},
         "",
         0,
         ">{a:b}:2-3\nCG\n>a:b:1-1\nA\n",
         "",
         {}},
        {"regions_past_the_end_are_cut_and_told",
         {{"in.fa", three_records}},
         {"-i", "in.fa", "--region", "seq2:3-10", "--region", "seq2:9"},
         "",
         0,
         ">seq2:3-10\nGG\n>seq2:9\n",
         "talmiro: warning: --region 'seq2:3-10': it reaches past the end of 'seq2' (4 bases): cut to 3-4\n"
         "talmiro: warning: --region 'seq2:9': it starts past the end of 'seq2' (4 bases): nothing of it is "
         "written\n",
         {}},
        {"strict_regions_fail_on_the_command_line_as_misuse",
         {{"in.fa", three_records}},
         {"-i", "in.fa", "--region", "seq2:3-10", "--strict-regions", "-o", "out.fa"},
         "",
         2,
         "",
         "talmiro: --region 'seq2:3-10': it reaches past the end of 'seq2' (4 bases)\n" + usage_hint,
         {}},
        {"a_start_of_zero_is_a_usage_error",
         {{"in.fa", three_records}},
         {"-i", "in.fa", "--region", "seq1:0-5"},
         "",
         2,
         "",
         "talmiro: --region 'seq1:0-5': a start of 0 (regions count bases from 1)\n" + usage_hint,
         {}},
        {"an_unknown_record_in_a_file_fails_naming_its_line",
         {{"in.fa", three_records}, {"bad.txt", "seq1:1-2\nseq9:1-2\n"}},
         {"-i", "in.fa", "--regions", "bad.txt", "-o", "out.fa"},
         "",
         1,
         "",
         "talmiro: 'bad.txt' line 2: no record 'seq9' in 'in.fa'\n",
         {}},
        {"an_unknown_record_is_allowed_to_be_missing",
         {{"in.fa", three_records}, {"bad.txt", "seq1:1-2\nseq9:1-2\n"}},
         {"-i", "in.fa", "--regions", "bad.txt", "--allow-missing"},
         "",
         0,
         ">seq1:1-2\nAC\n",
         "talmiro: warning: 'bad.txt' line 2: no record 'seq9' in 'in.fa'\n",
         {}},
        {"an_unknown_record_on_the_command_line_is_misuse",
         {{"in.fa", three_records}, {"bad.txt", "seq9:1-2\n"}},
         {"-i", "in.fa", "--regions", "bad.txt", "--region", "seq8"},
         "",
         2,
         "",
         "talmiro: --region 'seq8': no record 'seq8' in 'in.fa' (and 1 more region whose record is not there)\n" +
             usage_hint,
         {}},
        {"a_short_bed_line_fails_naming_it",
         {{"in.fa", three_records}, {"b.bed", "seq1\t5\n"}},
         {"-i", "in.fa", "--bed", "b.bed"},
         "",
         1,
         "",
         "talmiro: 'b.bed' line 1: it has fewer than the 3 fields of a BED interval (NAME, START, END)\n",
         {}},
        {"regions_and_a_list_exclude_each_other",
         inputs,
         arguments({"--region", "seq1"}),
         "",
         2,
         "",
         "talmiro: --list takes records by name: it cannot go with regions (--region, --regions, --bed)\n" + usage_hint,
         {}},
        {"region_options_need_regions",
         inputs,
         arguments({"--line-width", "5"}),
         "",
         2,
         "",
         "talmiro: --line-width works on regions: it needs --region, --regions or --bed\n" + usage_hint,
         {}},
        {"neither_list_nor_regions",
         inputs,
         {"-i", "in.fa"},
         "",
         2,
         "",
         "talmiro: --list is required (or regions: --region, --regions, --bed)\n" + usage_hint,
         {}},
    };
}

class TalmiroBatch : public ::testing::TestWithParam<BatchScenario> {};

TEST_P(TalmiroBatch, StreamsStatusAndFilesMatch) { expect_batch_scenario(GetParam(), TALMIRO_BINARY); }

INSTANTIATE_TEST_SUITE_P(Talmiro, TalmiroBatch, ::testing::ValuesIn(batch_scenarios()),
                         [](const auto& test_info) { return test_info.param.name; });

// Malformed FASTQ: batch mode fails naming the file, the line and the record, and writes
// nothing, in list order and in file order alike.
TEST(TalmiroFastq, MalformedRecordsFailNamingLineAndRecord) {
    struct Malformed {
        std::string content;
        std::string reason;
    };
    const std::vector<Malformed> table = {
        {read_1 + "@r2 x\nACGT\n@r3\nA\n+\nI\n", "line 7: FASTQ record 'r2' has no '+' line before the next header"},
        {read_1 + "@r2\nACGT\n+\nIII\n" + read_2, "line 8: FASTQ record 'r2' has 3 quality characters for 4 bases"},
        {read_1 + "@r2\nACGT\n+\nIIIII\n", "line 8: FASTQ record 'r2' has 5 quality characters for 4 bases"},
        {read_1 + "@r2\nACGT\n+\nII", "line 8: FASTQ record 'r2' is cut short: 2 quality characters for 4 bases"},
        {read_1 + "@r2\nACGT\n", "line 6: FASTQ record 'r2' is cut short before its '+' line"},
        {read_1 + "@r2", "line 5: FASTQ record 'r2' is cut short before its '+' line"},
        {read_1 + "r2\nACGT\n+\nIIII\n", "line 5: a FASTQ record must begin with '@', not 'r2'"},
        // What Biopython refuses: sequence and quality lines hold '!' to '~' alone, and a '+'
        // line that repeats a title repeats the header's whole line.
        {read_1 + "@r2\nACGT\n+\nII I\n",
         "line 8: FASTQ record 'r2': its quality holds a blank (only '!' to '~' may stand there)"},
        {read_1 + "@r2\nACGT\n+\nII\tI\n",
         "line 8: FASTQ record 'r2': its quality holds a tab (only '!' to '~' may stand there)"},
        {read_1 + "@r2\nACGT\n+\nII" + std::string(1, '\0') + "I\n",
         "line 8: FASTQ record 'r2': its quality holds the byte 0x00 (only '!' to '~' may stand there)"},
        {read_1 + "@r2\nACGT\n+\nIII\x7f\n",
         "line 8: FASTQ record 'r2': its quality holds the byte 0x7f (only '!' to '~' may stand there)"},
        {read_1 + "@r2\nACGT\n+\nI\x1bII\n",
         "line 8: FASTQ record 'r2': its quality holds the byte 0x1b (only '!' to '~' may stand there)"},
        {read_1 + "@r2\nACGT\n+\n\x0bIII\n",
         "line 8: FASTQ record 'r2': its quality holds the byte 0x0b (only '!' to '~' may stand there)"},
        {read_1 + "@r2\nAC GT\n+\nIIIII\n",
         "line 6: FASTQ record 'r2': its sequence holds a blank (only '!' to '~' may stand there)"},
        {read_1 + "@r2 x\nACGT\n+r2\nIIII\n",
         "line 7: FASTQ record 'r2': its '+' line repeats another title than its header's"},
    };
    ScratchDir dir;
    dir.write("list.txt", "r1\n");
    for (const Malformed& row : table) {
        dir.write("in.fq", row.content);
        for (const std::string order : {"list", "file"}) {
            SCOPED_TRACE(row.reason + ", order " + order);
            const ProcessResult run = run_command(
                TALMIRO_BINARY, {"-l", "list.txt", "-i", "in.fq", "-o", "out.fq", "--order", order}, "", dir.path());
            EXPECT_EQ(run.exit_status, 1);
            EXPECT_EQ(run.errors, "talmiro: 'in.fq' " + row.reason + "\n");
            EXPECT_FALSE(dir.exists("out.fq"));
        }
    }
}

// Records taken from a stream wait in a temporary file past the memory budget: none is left
// behind in the output's folder or in $TMPDIR, and the output is what a mapped input gives.
TEST(TalmiroFastq, StreamedRecordsLeaveNoTemporaryFile) {
    ScratchDir dir;
    std::string fastq;
    std::string list;
    for (int read = 0; read < 1700; ++read) {  // 68 MB of records: past the budget
        const std::string name = "read" + std::to_string(read);
        fastq += "@" + name + "\n" + std::string(20'000, "ACGT"[read % 4]) + "\n+\n" + std::string(20'000, 'I') + "\n";
        list = name + "\n" + list;
    }
    dir.write("in.fq", fastq);
    dir.write("list.txt", list);
    fs::create_directory(dir / "tmp");
    const ProcessResult mapped =
        run_command(TALMIRO_BINARY, {"-l", "list.txt", "-i", "in.fq", "-o", "mapped.fq"}, "", dir.path());
    ASSERT_EQ(mapped.exit_status, 0) << mapped.errors;
    const ProcessResult streamed = run_command(
        "/bin/sh", {"-c", "TMPDIR=tmp " + std::string(TALMIRO_BINARY) + " -l list.txt -i - -o - < in.fq > streamed.fq"},
        "", dir.path());
    ASSERT_EQ(streamed.exit_status, 0) << streamed.errors;
    EXPECT_TRUE(dir.read("streamed.fq") == dir.read("mapped.fq"));
    EXPECT_TRUE(dir.read("mapped.fq").starts_with("@read1699\n"));
    EXPECT_TRUE(fs::is_empty(dir / "tmp"));
    std::size_t entries = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator(dir.path())) {
        ++entries;
    }
    EXPECT_EQ(entries, 5U);  // in.fq, list.txt, tmp, mapped.fq, streamed.fq and nothing else
}

// Compressed inputs, recognised by their first bytes: every form reads as the plain file does,
// in both modes, from a file or from standard input. The files are made in-process; the
// interoperability tests read what the real gzip, bgzip and zstd write.
std::string many_records() {
    std::string fasta;
    for (int record = 0; record < 400; ++record) {
        fasta += ">r" + std::to_string(record) + " x\n" + std::string(120, "ACGT"[record % 4]) + "\n";
    }
    return fasta;
}

// Runs of kept records from a plain file into a plain file are copied by the kernel; into a pipe,
// from a stream or into a compressed file they are written: the bytes are the same every way,
// records without a final line break and CR LF lines included.
TEST(TalmiroFileOrder, KernelCopiedRunsAreTheWrittenRuns) {
    std::mt19937 random(5);
    for (const bool fastq : {false, true}) {
        std::string records;
        for (int record = 0; record < 3000; ++record) {
            const std::string sequence(1 + random() % 300, "ACGT"[record % 4]);
            const std::string end = record % 7 == 3 ? "\r\n" : "\n";
            records += fastq ? "@r" + std::to_string(record) + end + sequence + end + "+" + end +
                                   std::string(sequence.size(), 'I') + end
                             : ">r" + std::to_string(record) + " x" + end + sequence + end;
        }
        records.pop_back();  // the last record without its final line break
        ScratchDir dir;
        dir.write("in", records);
        std::string list;
        for (int record = 0; record < 3000; record += 1 + static_cast<int>(random() % 40)) {
            list += "r" + std::to_string(record) + "\n";
        }
        dir.write("list.txt", list);
        const std::string talmiro = std::string(TALMIRO_BINARY) + " -l list.txt";
        for (const std::string mode : {"--exclude", "--order file"}) {
            SCOPED_TRACE(mode + (fastq ? " FASTQ" : " FASTA"));
            const ProcessResult runs =
                run_command("/bin/sh",
                            {"-c", talmiro + " " + mode + " in -o copied && " + talmiro + " " + mode +
                                       " in | cat > piped && " + talmiro + " " + mode + " -i - < in > streamed && " +
                                       talmiro + " " + mode + " in -o packed.gz"},
                            "", dir.path());
            ASSERT_EQ(runs.exit_status, 0) << runs.errors;
            EXPECT_TRUE(dir.read("copied") == dir.read("piped"));
            EXPECT_TRUE(dir.read("copied") == dir.read("streamed"));
            EXPECT_TRUE(dir.read("copied") == unpacked_gzip(dir.read("packed.gz")));
            EXPECT_GT(dir.read("copied").size(), std::size_t{1000});
        }
    }
}

TEST(TalmiroCompressed, EveryFormReadsAsThePlainFile) {
    const std::string fasta = many_records();
    const std::string list = "r399\nr0\nr17\nr250\n";
    ScratchDir dir;
    dir.write("in.fa", fasta);
    dir.write("list.txt", list);
    // Prefix matching, as the dialogue matches.
    run_command(TALMIRO_BINARY, {"-l", "list.txt", "-i", "in.fa", "-o", "expected.fa", "--match", "prefix"}, "",
                dir.path());
    const std::string expected = dir.read("expected.fa");
    for (const PackingCase& form : packing_cases()) {
        SCOPED_TRACE(form.name);
        dir.write("in.z", packed(fasta, form.packing));
        dir.write("list.z", packed(list, form.packing));
        const ProcessResult batch = run_command(
            TALMIRO_BINARY, {"-l", "list.z", "-i", "in.z", "-o", "batch.fa", "--match", "prefix"}, "", dir.path());
        EXPECT_EQ(batch.exit_status, 0) << batch.errors;
        EXPECT_TRUE(dir.read("batch.fa") == expected);
        // As read pairs, each input decoded by its own reader where the cores are all readers'.
        const ProcessResult pair =
            run_command(TALMIRO_BINARY,
                        {"-l", "list.z", "-i", "in.z", "-i", "in.z", "-o", "1.fa", "-o", "2.fa", "--match", "prefix"},
                        "", dir.path());
        EXPECT_EQ(pair.exit_status, 0) << pair.errors;
        EXPECT_TRUE(dir.read("1.fa") == expected && dir.read("2.fa") == expected);
        const ProcessResult piped = run_command(
            "/bin/sh", {"-c", std::string(TALMIRO_BINARY) + " -l list.txt -i - -o - --match prefix < in.z > piped.fa"},
            "", dir.path());
        EXPECT_EQ(piped.exit_status, 0) << piped.errors;
        EXPECT_TRUE(dir.read("piped.fa") == expected);
        run_process(TALMIRO_BINARY, "list.z in.z dialogue.fa", dir.path());
        EXPECT_TRUE(dir.read("dialogue.fa") == expected);
    }
}

// Cut or damaged compressed data: batch mode fails and writes nothing; the dialogue reads the
// data up to the damage, as it reads a short file.
// A BGZF file cut right after a whole block, its end-of-file block gone, is cut short whether it
// is read by name or from a pipe (where it cannot be told from gzip before it is read).
TEST(TalmiroCompressed, BgzfWithoutItsEndOfFileBlockIsTruncatedEvenFromAPipe) {
    ScratchDir dir;
    dir.write("list.txt", "r0\nr399\n");
    const std::string whole = packed(many_records(), Packing::bgzf);
    const std::string cut = whole.substr(0, whole.size() - 28);  // the empty member is 28 bytes
    dir.write("in.gz", cut);
    for (const bool piped : {false, true}) {
        const ProcessResult batch =
            run_command(TALMIRO_BINARY, {"-l", "list.txt", "-i", piped ? "-" : "in.gz", "-o", "out.fa"},
                        piped ? cut : "", dir.path());
        EXPECT_EQ(batch.exit_status, 1) << piped;
        EXPECT_EQ(batch.errors, std::string("talmiro: ") + (piped ? "standard input" : "'in.gz'") +
                                    ": corrupt or truncated gzip data\n");
        EXPECT_FALSE(dir.exists("out.fa"));
    }
}

TEST(TalmiroCompressed, DamagedDataEndsTheInput) {
    const std::string fasta = many_records();
    ScratchDir dir;
    dir.write("list.txt", "r0\nr399\n");
    for (const PackingCase& form : packing_cases()) {
        const std::string whole = packed(fasta, form.packing);
        for (const double where : {0.1, 0.5, 0.97}) {
            const auto at = static_cast<std::size_t>(static_cast<double>(whole.size()) * where);
            std::string flipped = whole;
            flipped[at] = static_cast<char>(flipped[at] ^ 0x55);
            for (const std::string& damaged : {whole.substr(0, at), flipped}) {
                SCOPED_TRACE(form.name + " at " + std::to_string(at));
                dir.write("in.z", damaged);
                const ProcessResult batch =
                    run_command(TALMIRO_BINARY, {"-l", "list.txt", "-i", "in.z", "-o", "out.fa"}, "", dir.path());
                EXPECT_EQ(batch.exit_status, 1);
                EXPECT_EQ(batch.errors, "talmiro: 'in.z': " + form.damage + "\n");
                EXPECT_FALSE(dir.exists("out.fa"));
                dir.write("whole.z", whole);
                const ProcessResult pair = run_command(
                    TALMIRO_BINARY, {"-l", "list.txt", "-i", "whole.z", "-i", "in.z", "-o", "1.fa", "-o", "2.fa"}, "",
                    dir.path());
                EXPECT_EQ(pair.exit_status, 1);
                EXPECT_EQ(pair.errors, "talmiro: 'in.z': " + form.damage + "\n");
                EXPECT_FALSE(dir.exists("1.fa") || dir.exists("2.fa"));
                const ProcessResult dialogue = run_process(TALMIRO_BINARY, "list.txt in.z y out.fa", dir.path());
                EXPECT_EQ(dialogue.exit_status, 0);
                if (dir.exists("out.fa")) {
                    const std::string written = dir.read("out.fa");
                    EXPECT_TRUE(written.empty() || fasta.starts_with(written.substr(0, written.size() - 1)) ||
                                fasta.find(written) != std::string::npos);
                    fs::remove(dir / "out.fa");
                }
            }
        }
    }
}

// Cut exactly after a whole BGZF block, the file lacks the empty block bgzip ends it with: batch
// mode cannot tell it complete and fails; the dialogue reads every record there is. Zeros after
// gzip data, as tape leaves them, are accepted as gzip -t accepts them; anything after the
// zeros is damage.
TEST(TalmiroCompressed, ACutAtABlockIsTruncationAndZeroPaddingIsNot) {
    const std::string fasta = many_records() + many_records() + many_records() + many_records();
    ScratchDir dir;
    dir.write("list.txt", "r0\n");
    const std::string bgzf = packed(fasta, Packing::bgzf);
    constexpr std::size_t end_block = 28;
    const std::string without_end = bgzf.substr(0, bgzf.size() - end_block);
    dir.write("in.z", without_end);
    const ProcessResult batch =
        run_command(TALMIRO_BINARY, {"-l", "list.txt", "-i", "in.z", "-o", "out.fa"}, "", dir.path());
    EXPECT_EQ(batch.exit_status, 1);
    EXPECT_EQ(batch.errors, "talmiro: 'in.z': corrupt or truncated gzip data\n");
    EXPECT_FALSE(dir.exists("out.fa"));
    // Past the first block: the records of every block are read, the missing end aside.
    dir.write("list.txt", "r399\n");
    const ProcessResult dialogue = run_process(TALMIRO_BINARY, "list.txt in.z out.fa", dir.path());
    EXPECT_EQ(dialogue.exit_status, 0);
    EXPECT_EQ(dir.read("out.fa"), std::string(">r399 x\n") + std::string(120, "ACGT"[399 % 4]) + "\n" + ">r399 x\n" +
                                      std::string(120, "ACGT"[399 % 4]) + "\n" + ">r399 x\n" +
                                      std::string(120, "ACGT"[399 % 4]) + "\n" + ">r399 x\n" +
                                      std::string(120, "ACGT"[399 % 4]) + "\n");
    const std::string gzip = packed(fasta, Packing::gzip);
    for (const auto& [tail, status] : {std::pair{std::string(4096, '\0'), 0}, {std::string(100, '\0') + "x", 1}}) {
        dir.write("in.z", gzip + tail);
        const ProcessResult padded =
            run_command(TALMIRO_BINARY, {"-l", "list.txt", "-i", "in.z", "-o", "-"}, "", dir.path());
        EXPECT_EQ(padded.exit_status, status) << padded.errors;
    }
}

// Indexes. Files of every shape the scan reads (names shared, mates, prefixes of each other,
// descriptions, line breaks with carriage returns, lines of unequal length, empty records).
std::string random_records(std::mt19937& random, bool fastq) {
    const std::vector<std::string> names = {"a", "a1", "a10", "r7/1", "r7/2", "r7", "chr2", "x.y", "Seq"};
    const auto pick = [&](std::size_t count) { return static_cast<std::size_t>(random() % count); };
    std::string text;
    for (std::size_t record = 0, records = 3 + pick(30); record < records; ++record) {
        const std::string end = pick(6) == 0 ? "\r\n" : "\n";
        std::string header = names[pick(names.size())];
        if (pick(3) == 0) {
            header += (pick(2) == 0 ? " " : "\t") + std::string("desc ") + std::to_string(pick(3));
        }
        const std::size_t length = pick(5) == 0 ? 0 : 1 + pick(150);
        std::string bases;
        for (std::size_t base = 0; base < length; ++base) {
            bases += "ACGT"[pick(4)];
        }
        const std::size_t width = pick(3) == 0 ? length + 1 : 10 + pick(60);
        const auto lines = [&](const std::string& letters, bool uneven) {
            std::string laid;
            for (std::size_t at = 0; at < letters.size();) {
                const std::size_t take = uneven ? 1 + pick(width) : width;
                laid += letters.substr(at, take) + end;
                at += take;
            }
            return laid;
        };
        if (fastq) {
            const std::string qualities = std::string(bases.size(), pick(2) == 0 ? '@' : 'I');
            text += "@" + header + end + lines(bases.empty() ? "A" : bases, false) + "+" + end +
                    lines(bases.empty() ? "I" : qualities, false) + (pick(6) == 0 ? end : "");
        } else {
            text += ">" + header + end + lines(bases, pick(8) == 0);
        }
    }
    return text;
}

std::string random_list(std::mt19937& random) {
    const std::vector<std::string> names = {"a", "a1",     "r7",       "r7/2", "chr2", "Seq",
                                            "x", "absent", "a desc 1", "s",    "r"};
    std::string list;
    for (std::size_t name = 0, count = 1 + random() % 6; name < count; ++name) {
        list += names[random() % names.size()] + "\n";
    }
    return list;
}

// Through an index, every match mode and order gives byte for byte what reading the whole file
// gives, plain and BGZF, FASTA and FASTQ; and the dialogue shows the same transcript.
TEST(TalmiroIndex, TakesWhatTheScanTakes) {
    std::mt19937 random(20261209);
    ScratchDir dir;
    for (const bool fastq : {false, true}) {
        for (const bool bgzf : {false, true}) {
            for (int file = 0; file < 3; ++file) {
                const std::string text = random_records(random, fastq);
                dir.write("in", bgzf ? packed(text, Packing::bgzf) : text);
                for (const char* suffix : {".tix", ".fai", ".gzi"}) {
                    fs::remove(dir / (std::string("in") + suffix));
                }
                const ProcessResult indexing = run_command(TALMIRO_BINARY, {"--index", "in"}, "", dir.path());
                ASSERT_EQ(indexing.exit_status, 0) << indexing.errors << text;
                for (int list = 0; list < 3; ++list) {
                    dir.write("list.txt", random_list(random));
                    for (const std::string mode : {"prefix", "word", "full"}) {
                        for (const std::string order : {"list", "file"}) {
                            if (order == "file" && mode != "word") {
                                continue;  // file order is taken the same way in every mode
                            }
                            SCOPED_TRACE(text + "list:\n" + dir.read("list.txt") + mode + " " + order);
                            const std::vector<std::string> common = {
                                "-l",  "list.txt",        "-i", "in", "--match", mode, "--order",
                                order, "--allow-missing", "-v"};
                            std::vector<std::string> indexed = common;
                            indexed.insert(indexed.end(), {"-o", "indexed"});
                            std::vector<std::string> scanned = common;
                            scanned.insert(scanned.end(), {"-o", "scanned", "--no-index"});
                            const ProcessResult through = run_command(TALMIRO_BINARY, indexed, "", dir.path());
                            const ProcessResult whole = run_command(TALMIRO_BINARY, scanned, "", dir.path());
                            EXPECT_NE(through.errors.find("records read through an index"), std::string::npos)
                                << through.errors;
                            EXPECT_EQ(reading_notes_aside(through.errors), reading_notes_aside(whole.errors));
                            EXPECT_EQ(through.exit_status, whole.exit_status);
                            EXPECT_TRUE(dir.read("indexed") == dir.read("scanned"));
                        }
                    }
                }
                // The dialogue asks about each missing name before the output's name.
                const ProcessResult counted = run_command(
                    TALMIRO_BINARY, {"-l", "list.txt", "-i", "in", "-o", "-", "--allow-missing", "-q"}, "", dir.path());
                std::string answers = "list.txt in ";
                for (std::size_t at = 0; (at = counted.errors.find("not found", at)) != std::string::npos; ++at) {
                    answers += "y ";
                }
                const ProcessResult indexed = run_process(TALMIRO_BINARY, answers + "out.fa", dir.path());
                fs::remove(dir / "in.tix");
                fs::remove(dir / "in.fai");
                const ProcessResult scanned = run_process(TALMIRO_BINARY, answers + "out2.fa", dir.path());
                EXPECT_EQ(indexed.output, scanned.output);
                EXPECT_TRUE(dir.read("out.fa") == dir.read("out2.fa"));
            }
        }
    }
}

// The .fai is samtools' own, carriage returns and FASTQ included; lines of unequal length, or
// bytes samtools counts otherwise, get the table alone, with a warning naming the record.
TEST(TalmiroIndex, WritesTheFaiSamtoolsWrites) {
    const auto warning = [](const std::string& record, const std::string& why) {
        return "talmiro: warning: 'in': record '" + record + "': " + why + ": 'in.tix' alone is written\n";
    };
    const auto differ = [&](const std::string& record) {
        return warning(record, "its lines differ in length, which a .fai cannot describe");
    };
    const auto counted_otherwise = [&](const std::string& record) {
        return warning(record,
                       "its sequence holds a blank, a tab, a carriage return or a control character, which samtools "
                       "would not count as bases");
    };
    // Enough records that the .fai is written in several stretches; with a last record whose
    // lines differ, none of it may be left behind.
    std::string many;
    std::string many_fai;
    for (int record = 0; record < 4000; ++record) {
        many += ">r" + std::to_string(record) + "\n";
        many_fai += "r" + std::to_string(record) + "\t13\t" + std::to_string(many.size()) + "\t10\t11\n";
        many += "ACGTACGTAC\nACG\n";
    }
    const struct {
        std::string text;
        std::string fai;  // empty: none written
        std::string errors;
    } cases[] = {
        {many, many_fai, ""},
        {many + ">last\nAC\nACG\n", "", differ("last")},
        {">a x\nACGT\nAC\n>b\nAAAA\n>e\n>a\nCC", "a\t6\t5\t4\t5\nb\t4\t16\t4\t5\na\t2\t27\t2\t3\n", ""},
        {">a\r\nACGT\r\nAC\r\n>b\r\nGG\r\n", "a\t6\t4\t4\t6\nb\t2\t18\t2\t4\n", ""},
        {reads, "r1/1\t4\t13\t4\t5\t20\nr2/1\t4\t31\t2\t3\t43\nR3/1\t1\t56\t1\t3\t62\n", ""},
        {">a\nACG\nACGT\n>b\nGG\n", "", differ("a")},
        {">a\nACGT\n\nAC\n", "", differ("a")},
        // Bytes samtools does not count as bases: its .fai would then fetch other bases than
        // talmiro takes (`ACGTACGTAC>b` for the first).
        {">a\nAC GT\nAC GT\nAC\n>b\nAA\n", "", counted_otherwise("a")},
        {">a\nACGT\n>b\nAC\tT\n", "", counted_otherwise("b")},
        {">a\nAC\rGT\n", "", counted_otherwise("a")},
        {">a\nACGT\nAC" + std::string(1, '\0') + "\n", "", counted_otherwise("a")},
        {">a\nACGT\r", "", counted_otherwise("a")},
    };
    ScratchDir dir;
    for (const auto& [text, fai, errors] : cases) {
        SCOPED_TRACE(text.substr(0, 200));
        fs::remove(dir / "in.fai");
        dir.write("in", text);
        const ProcessResult indexing = run_command(TALMIRO_BINARY, {"--index", "in"}, "", dir.path());
        EXPECT_EQ(indexing.exit_status, 0);
        EXPECT_EQ(indexing.errors, errors);
        EXPECT_EQ(dir.exists("in.fai") ? dir.read("in.fai") : "", fai);
        EXPECT_TRUE(dir.exists("in.tix"));
    }
}

// "--" ends the options: a file whose name begins with '-' can be indexed.
TEST(TalmiroIndex, DoubleDashEndsTheOptions) {
    ScratchDir dir;
    dir.write("-in.fa", ">a\nAC\n");
    const ProcessResult indexing = run_command(TALMIRO_BINARY, {"--index", "--", "-in.fa"}, "", dir.path());
    EXPECT_EQ(indexing.exit_status, 0) << indexing.errors;
    EXPECT_EQ(dir.read("-in.fa.fai"), "a\t2\t3\t2\t3\n");
    EXPECT_TRUE(dir.exists("-in.fa.tix"));
}

// An index that does not hold for the file, whatever spoiled it: one warning, then the file is
// read whole and the output is the scan's. An edit in place with the time put back is caught by
// the content's checksum; one that slips past the stamp too (restamped) by the check of each
// located record.
TEST(TalmiroIndex, ASpoiledIndexIsToldAndTheFileReadWhole) {
    const std::string fasta = ">a x\nACGT\nAC\n>b\nAAAA\n>r7\nGGGG\n";  // b at byte 13, r7 at 21
    struct Spoil {
        std::string name;
        bool bgzf;
        std::function<void(const ScratchDir&)> spoil;
        std::string why;
    };
    const auto edit_in_place = [](std::size_t at, char byte, bool restamp = true) {
        return [at, byte, restamp](const ScratchDir& dir) {
            std::string text = dir.read("in");
            text[at] = byte;
            rewrite_keeping_time(dir, "in", text);
            if (restamp) {
                testing_support::restamp_index(dir, "in.tix", "in", talmiro::tix_facts_size);
            }
        };
    };
    // A bit of `name` flipped, `at` bytes from its start (from its end where negative).
    const auto flip_bit = [](std::string name, std::ptrdiff_t at) {
        return [name, at](const ScratchDir& dir) {
            std::string bytes = dir.read(name);
            bytes[static_cast<std::size_t>(at >= 0 ? at : static_cast<std::ptrdiff_t>(bytes.size()) + at)] ^= 0x04;
            dir.write(name, bytes);
        };
    };
    const auto replace = [](std::string name, std::string content) {
        return [name, content](const ScratchDir& dir) { dir.write(name, content); };
    };
    const auto remove = [](std::string name) { return [name](const ScratchDir& dir) { fs::remove(dir / name); }; };
    const auto both = [](std::function<void(const ScratchDir&)> first, std::function<void(const ScratchDir&)> second) {
        return [first, second](const ScratchDir& dir) {
            first(dir);
            second(dir);
        };
    };
    const auto fifo = [](std::string name) {
        return [name](const ScratchDir& dir) {
            fs::remove(dir / name);
            ASSERT_EQ(::mkfifo((dir / name).c_str(), 0600), 0);
        };
    };
    const auto folder = [](std::string name) {
        return [name](const ScratchDir& dir) {
            fs::remove(dir / name);
            fs::create_directory(dir / name);
        };
    };
    const auto device_link = [](std::string name) {
        return [name](const ScratchDir& dir) {
            fs::remove(dir / name);
            fs::create_symlink("/dev/zero", dir / name);
        };
    };
    const std::string another_version = "'in.tix' was made for another version of 'in'";
    const std::string fai_alone =
        "'in.fai' has no .tix to vouch for it: talmiro --index 'in' makes an index that can be used";
    const std::string damaged = "'in.tix' cannot be used: it is damaged";
    const std::vector<Spoil> spoils = {
        {"appended to", false, [&](const ScratchDir& dir) { dir.write("in", fasta + ">r7\nCC\n"); }, another_version},
        {"renamed in place, the time put back", false, edit_in_place(22, 's', false), another_version},
        {"a record's marker gone", false, edit_in_place(21, 'X'),
         "'in.tix' does not match 'in' (record 'b' at byte 13: it does not lie between two records)"},
        {"a record renamed", false, edit_in_place(22, 's'),
         "'in.tix' does not match 'in' (record 'r7' at byte 21: another record there)"},
        {"a record split", false, edit_in_place(25, '>'),
         "'in.tix' does not match 'in' (record 'r7' at byte 21: it is not one whole record there)"},
        {"the table cut short", false,
         [](const ScratchDir& dir) { dir.write("in.tix", dir.read("in.tix").substr(0, 200)); },
         damaged + " (its size is not what its header says)"},
        {"a bit flipped in the header", false, flip_bit("in.tix", 30), damaged + " (its header)"},
        {"a bit flipped in the names", false, flip_bit("in.tix", -10), damaged + " (block 0 of its tables)"},
        {"a bit flipped in the block sums", false, flip_bit("in.tix", -3), damaged + " (block 0 of its tables)"},
        {"no table", false, replace("in.tix", "TALMTIX"), "'in.tix' cannot be used: it is no talmiro index"},
        {"another format", false,
         [](const ScratchDir& dir) { dir.write("in.tix", "X" + dir.read("in.tix").substr(1)); },
         "'in.tix' cannot be used: it is no talmiro index"},
        {"an older version", false,
         [](const ScratchDir& dir) {
             std::string table = dir.read("in.tix");
             table[8] = 1;
             dir.write("in.tix", table);
         },
         "'in.tix' cannot be used: it was made by an older talmiro (its version 1, this one reads 2): talmiro "
         "--index makes a new one"},
        // samtools' own .fai and .gzi say nothing that can be trusted without reading the file.
        {"a .fai alone", false, remove("in.tix"), fai_alone},
        {"a .fai leaving a record out", false,
         both(remove("in.tix"), replace("in.fai", "a\t6\t5\t4\t5\nr7\t4\t25\t4\t5\n")), fai_alone},
        {"a BGZF file with a .fai and .gzi alone", true, remove("in.tix"), fai_alone},
        // The .tix keeps its own checked copy of the BGZF members.
        {"a BGZF file without its .gzi", true, remove("in.gzi"), ""},
        {"a BGZF file with a damaged .gzi", true, replace("in.gzi", std::string(24, '\0')), ""},
        // Not files at all: never opened, so neither a hang nor a read without end.
        {"a FIFO for the .tix", false, fifo("in.tix"), "'in.tix' is a FIFO, not an index file"},
        {"a directory for the .fai", false, both(remove("in.tix"), folder("in.fai")),
         "'in.fai' is a directory, not an index file"},
        {"a link to a device for the .gzi", true, both(both(remove("in.tix"), remove("in.fai")), device_link("in.gzi")),
         "'in.gzi' is a character device, not an index file"},
    };
    ScratchDir dir;
    dir.write("list.txt", "r7\nb\n");
    for (const Spoil& spoil : spoils) {
        SCOPED_TRACE(spoil.name);
        for (const char* suffix : {".tix", ".fai", ".gzi"}) {
            fs::remove(dir / (std::string("in") + suffix));
        }
        dir.write("in", spoil.bgzf ? packed(fasta, Packing::bgzf) : fasta);
        ASSERT_EQ(run_command(TALMIRO_BINARY, {"--index", "in"}, "", dir.path()).exit_status, 0);
        spoil.spoil(dir);
        expect_read_whole_after(TALMIRO_BINARY, {"-l", "list.txt", "-i", "in", "-o", "-", "--allow-missing"}, dir,
                                spoil.why);
    }
}

// A header with white space before its first word is named by that word in the .fai, as
// samtools names it, and found through the index as the scan finds it.
TEST(TalmiroIndex, ARecordIsNamedByItsFirstWordPastBlanks) {
    ScratchDir dir;
    dir.write("in.fa", ">  foo bar\nAC\n>foo2\nGG\n");
    dir.write("list.txt", "foo\n");
    ASSERT_EQ(run_command(TALMIRO_BINARY, {"--index", "in.fa"}, "", dir.path()).exit_status, 0);
    EXPECT_EQ(dir.read("in.fa.fai"), "foo\t2\t11\t2\t3\nfoo2\t2\t20\t2\t3\n");  // samtools faidx's own
    const ProcessResult indexed = run_command(
        TALMIRO_BINARY, {"-l", "list.txt", "-i", "in.fa", "-o", "-", "--match", "word", "-v"}, "", dir.path());
    EXPECT_EQ(indexed.output, ">  foo bar\nAC\n");
    EXPECT_NE(indexed.errors.find("records read through an index: 1\n"), std::string::npos) << indexed.errors;
}

// Paired reads, one input plain and one BGZF, each through its own index, stay in step as the
// whole-file read keeps them, in list and file order.
TEST(TalmiroIndex, PairsThroughTheirIndexesStayInStep) {
    ScratchDir dir;
    dir.write("r1.fq", reads);
    dir.write("r2.fq.gz", packed(mates, Packing::bgzf));
    dir.write("list.txt", "R3\nr1\nabsent\n");
    ASSERT_EQ(run_command(TALMIRO_BINARY, {"--index", "r1.fq", "r2.fq.gz"}, "", dir.path()).exit_status, 0);
    for (const std::string order : {"list", "file"}) {
        std::vector<std::string> arguments = {
            "-l",    "list.txt", "-i",   "r1.fq",           "-i",      "r2.fq.gz", "-o", "o1.fq", "-o",
            "o2.fq", "--match",  "word", "--allow-missing", "--order", order,      "-v"};
        const ProcessResult indexed = run_command(TALMIRO_BINARY, arguments, "", dir.path());
        EXPECT_EQ(indexed.exit_status, 0) << indexed.errors;
        EXPECT_NE(indexed.errors.find("talmiro: records read through an index: 4\n"), std::string::npos)
            << indexed.errors;
        EXPECT_EQ(dir.read("o1.fq"), order == "list" ? read_3 + read_1 : read_1 + read_3);
        EXPECT_EQ(dir.read("o2.fq"), order == "list" ? mate_3 + mate_1 : mate_1 + mate_3);
    }
}

// Batch mode compresses an output as its name says (.gz and .bgz as BGZF, .zst, .bz2, .xz), and
// standard output as --compress says; every one reads back as the plain output, and a BGZF
// output is the same bytes on any number of threads, ends with the empty block and is indexed
// like any BGZF file.
TEST(TalmiroCompressed, OutputsAreCompressedAsNamed) {
    ScratchDir dir;
    std::string records;
    for (int copy = 0; copy < 8; ++copy) {
        records += many_records();  // several BGZF blocks
    }
    dir.write("in.fa", records);
    dir.write("list.txt", "r3\nr1\n");
    const auto talmiro = [&](std::vector<std::string> extra) {
        std::vector<std::string> arguments = {"-l", "list.txt", "--match", "prefix", "in.fa"};
        arguments.insert(arguments.end(), extra.begin(), extra.end());
        const ProcessResult run = run_command(TALMIRO_BINARY, arguments, "", dir.path());
        EXPECT_EQ(run.exit_status, 0) << run.errors;
        return run.output;
    };
    const std::string plain = talmiro({});  // no -o: standard output, plain
    const std::vector<std::pair<std::string, std::string (*)(std::string_view)>> outputs = {
        {"out.fa.gz", unpacked_gzip},
        {"out.fa.bgz", unpacked_gzip},
        {"out.fa.zst", unpacked_zstd},
        {"out.fa.bz2", unpacked_bzip2},
        {"out.fa.xz", unpacked_xz}};
    for (const auto& [output, unpacked] : outputs) {
        for (const std::string threads : {"1", "2"}) {
            SCOPED_TRACE(output + " on " + threads);
            talmiro({"-o", output, "--threads", threads});
            EXPECT_EQ(unpacked(dir.read(output)), plain);
            dir.write(threads + output, dir.read(output));
        }
        if (output.ends_with("gz")) {
            EXPECT_TRUE(dir.read("1" + output) == dir.read("2" + output)) << "BGZF bytes alike on 1 and 2 threads";
            EXPECT_TRUE(dir.read(output).ends_with(
                std::string("\x1f\x8b\x08\x04\0\0\0\0\0\xff\x06\0BC\x02\0\x1b\0\x03\0\0\0\0\0\0\0\0\0", 28)));
        }
    }
    EXPECT_EQ(unpacked_xz(talmiro({"--compress", "xz"})), plain);
    EXPECT_EQ(unpacked_gzip(talmiro({"--compress", "gz", "--level", "12"})), plain);
    ASSERT_EQ(run_command(TALMIRO_BINARY, {"--index", "out.fa.gz"}, "", dir.path()).exit_status, 0);
    EXPECT_TRUE(dir.exists("out.fa.gz.gzi"));
    // The frame carries its content checksum (the frame header descriptor's bit 2), as the zstd
    // program writes it, so damage inside it cannot pass for other text.
    EXPECT_NE(static_cast<unsigned char>(dir.read("out.fa.zst").at(4)) & 0x04, 0);
    EXPECT_TRUE(plain.starts_with(">r3 x\n"));
}

}  // namespace

namespace {

// Records long enough to be read in part through the index (lines alike) or read whole (lines
// that differ), short ones, empty ones; carriage returns in some files; mixed case and IUPAC.
std::string random_genome(std::mt19937& random, bool crlf) {
    std::string text;
    for (int record = 0; record < 8; ++record) {
        const std::size_t lengths[] = {0, 5, 300, 70000, 100000};
        const std::size_t length = lengths[random() % 5];
        const bool alike = random() % 4 != 0;
        const std::size_t width = 1 + random() % 90;
        text += ">r" + std::to_string(record) + " record " + std::to_string(record) + (crlf ? "\r\n" : "\n");
        for (std::size_t at = 0; at < length;) {
            const std::size_t line = std::min(length - at, alike ? width : 1 + random() % 90);
            for (std::size_t base = 0; base < line; ++base) {
                text += "ACGTacgtNRYKMSWBDHV"[random() % 19];
            }
            text += crlf ? "\r\n" : "\n";
            at += line;
        }
    }
    return text;
}

// The regions of `regions` as the rules say they are written (each record's bases its lines
// joined, a region cut to what the record holds), at 60 a line, reverse complemented where
// asked.
std::string reference_regions(const std::string& genome, const std::vector<std::string>& regions, bool reverse) {
    std::map<std::string, std::string> records;
    std::string* bases = nullptr;
    for (std::size_t at = 0; at < genome.size();) {
        const std::size_t end = genome.find('\n', at);
        std::string line = genome.substr(at, end - at);
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (line.starts_with('>')) {
            bases = &records.try_emplace(line.substr(1, line.find(' ') - 1)).first->second;
        } else {
            *bases += line;
        }
        at = end + 1;
    }
    std::string written;
    for (const std::string& region : regions) {
        const std::size_t colon = region.find(':');
        const std::string& record = records.at(region.substr(0, colon));
        std::size_t begin = 0;
        std::size_t end = record.size();
        if (colon != std::string::npos) {
            const std::size_t dash = region.find('-', colon);
            begin = std::stoul(region.substr(colon + 1)) - 1;
            end = dash == std::string::npos ? end : std::min<std::size_t>(end, std::stoul(region.substr(dash + 1)));
        }
        std::string cut = begin < end ? record.substr(begin, end - begin) : "";
        if (reverse) {
            talmiro::reverse_complement(cut);
        }
        written += ">" + region + (reverse ? "/rc" : "") + "\n";
        for (std::size_t line = 0; line < cut.size(); line += 60) {
            written += cut.substr(line, 60) + "\n";
        }
    }
    return written;
}

}  // namespace

// Through the index, plain or BGZF, a run cuts byte for byte what the scan and the reference
// cut, says the same and ends alike; and an edit the index's stamp does not see that moves a
// line break of a record read in part is caught, and the file read whole.
TEST(TalmiroRegions, TheIndexCutsWhatTheScanCuts) {
    std::mt19937 random(20261211);
    ScratchDir dir;
    for (int file = 0; file < 4; ++file) {
        const std::string genome = random_genome(random, file == 3);
        std::vector<std::string> regions;
        std::string region_lines;
        for (int region = 0; region < 40; ++region) {
            const std::string name = "r" + std::to_string(random() % 8);
            const std::size_t start = 1 + random() % 100100;
            const int form = static_cast<int>(random() % 10);
            regions.push_back(form == 0   ? name
                              : form == 1 ? name + ":" + std::to_string(start)
                                          : name + ":" + std::to_string(start) + "-" +
                                                std::to_string(start + random() % 20000));
            region_lines += regions.back() + "\n";
        }
        dir.write("regions.txt", region_lines);
        for (const bool bgzf : {false, true}) {
            dir.write("in", bgzf ? packed(genome, Packing::bgzf) : genome);
            fs::remove(dir / "in.tix");
            fs::remove(dir / "in.fai");
            fs::remove(dir / "in.gzi");
            ASSERT_EQ(run_command(TALMIRO_BINARY, {"--index", "in"}, "", dir.path()).exit_status, 0);
            for (const bool reverse : {false, true}) {
                SCOPED_TRACE(std::to_string(file) + (bgzf ? " BGZF" : " plain") + (reverse ? " reversed" : ""));
                std::vector<std::string> common = {"-i", "in", "--regions", "regions.txt", "-v"};
                if (reverse) {
                    common.push_back("--reverse-complement");
                }
                std::vector<std::string> indexed = common;
                indexed.insert(indexed.end(), {"-o", "indexed"});
                std::vector<std::string> scanned = common;
                scanned.insert(scanned.end(), {"-o", "scanned", "--no-index"});
                const ProcessResult through = run_command(TALMIRO_BINARY, indexed, "", dir.path());
                const ProcessResult whole = run_command(TALMIRO_BINARY, scanned, "", dir.path());
                ASSERT_EQ(through.exit_status, 0) << through.errors;
                EXPECT_NE(through.errors.find("records read through an index"), std::string::npos);
                EXPECT_EQ(reading_notes_aside(through.errors), reading_notes_aside(whole.errors));
                EXPECT_TRUE(dir.read("indexed") == dir.read("scanned"));
                EXPECT_TRUE(dir.read("indexed") == reference_regions(genome, regions, reverse));
            }
            // Outputs written as they are cut leave nothing behind when a later region fails.
            const ProcessResult failed = run_command(
                TALMIRO_BINARY, {"-i", "in", "--regions", "regions.txt", "--region", "nowhere", "-o", "failed"}, "",
                dir.path());
            EXPECT_EQ(failed.exit_status, 2) << failed.errors;
            EXPECT_FALSE(fs::exists(dir / "failed"));
        }
        // A line break of the first record read in part moved one base on, unseen by the stamp.
        const std::size_t moved = genome.find('\n', genome.find('\n', genome.size() / 2) + 1);
        std::string edited = genome;
        std::swap(edited[moved], edited[moved + 1]);
        if (edited[moved] == '>' || edited[moved + 1] == '>' || edited[moved] == '\r') {
            continue;
        }
        // Every record whole too, so that the moved break lies in a region.
        for (int record = 0; record < 8; ++record) {
            regions.push_back("r" + std::to_string(record));
            region_lines += regions.back() + "\n";
        }
        dir.write("regions.txt", region_lines);
        dir.write("in", genome);
        fs::remove(dir / "in.tix");
        fs::remove(dir / "in.fai");
        ASSERT_EQ(run_command(TALMIRO_BINARY, {"--index", "in"}, "", dir.path()).exit_status, 0);
        rewrite_keeping_time(dir, "in", edited);
        testing_support::restamp_index(dir, "in.tix", "in", talmiro::tix_facts_size);
        const ProcessResult through =
            run_command(TALMIRO_BINARY, {"-i", "in", "--regions", "regions.txt", "-o", "indexed"}, "", dir.path());
        run_command(TALMIRO_BINARY, {"-i", "in", "--regions", "regions.txt", "-o", "scanned", "--no-index"}, "",
                    dir.path());
        EXPECT_TRUE(dir.read("indexed") == dir.read("scanned"));
        EXPECT_TRUE(dir.read("indexed") == reference_regions(edited, regions, false));
    }
}

// Past twenty names listed several times, only their number is told, as for missing names.
TEST(TalmiroBatchMessages, PastTwentyRepeatedNamesOnlyTheirNumberIsTold) {
    ScratchDir dir;
    std::string list;
    std::string records;
    for (int name = 1; name <= 25; ++name) {
        list += "n" + std::to_string(name) + "\nn" + std::to_string(name) + "\n";
        records += ">n" + std::to_string(name) + "\nAC\n";
    }
    dir.write("list.txt", list);
    dir.write("in.fa", records);
    const ProcessResult run =
        run_command(TALMIRO_BINARY, {"-l", "list.txt", "-i", "in.fa", "-o", "out.fa"}, "", dir.path());
    EXPECT_EQ(run.exit_status, 0);
    std::string expected;
    for (int name = 1; name <= 20; ++name) {
        expected +=
            "talmiro: warning: 'n" + std::to_string(name) + "' is listed 2 times: it is written at each place\n";
    }
    EXPECT_EQ(run.errors, expected + "talmiro: warning: 5 more names are listed several times\n");
}
