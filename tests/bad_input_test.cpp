// Bad input through the real binaries: each row has a defined outcome, exit status 0, a bound
// on time, and leaves no file behind that the user did not name as an output.
#include "support/compression.hpp"
#include "support/session.hpp"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <algorithm>
#include <cstdlib>
#include <random>
#include <set>
#include <string>
#include <vector>

namespace {

using namespace testing_support;

struct BadInput {
    std::string name;
    std::string binary;
    Files inputs;
    std::string answers;
    std::string ending;                  // what the transcript must end with
    std::vector<std::string> may_write;  // files the run may create or change
};

void PrintTo(const BadInput& row, std::ostream* out) { *out << row.name; }

std::string binary_data(std::size_t size, unsigned seed) {
    std::mt19937 random(seed);
    std::string data(size, '\0');
    for (char& c : data) {
        c = static_cast<char>(random() % 4 == 0 ? 0 : random());
    }
    return data;
}

const std::string orvane_binary = ORVANE_BINARY;
const std::string talmiro_binary = TALMIRO_BINARY;
const std::string matrix = "3\nP 0 1 2\nQ 1 0 3\nR 2 3 0\n";
const std::string fasta = ">seq1 a\nACGT\n>seq2\nGG\n";
const std::string orvane_done = "Successfully written OUTPUT Sample file...Exiting now...\n";
const std::string orvane_not_found = "\nFile not found, aborting....\n";
const std::string orvane_cannot_create = "\nUnable to create file, aborting.....\n";
const std::string orvane_cannot_write = "\nUnable to write file, aborting.....\n";
const std::string talmiro_done = "\n\nSuccessfully written output file...Exiting now...";
const std::string talmiro_not_found = "\nFile does not exist, aborting....\n";
const std::string talmiro_cannot_create = "\nUnable to create file, aborting....\n";
const std::string question = "Continue (y//n)? ";

std::string many_names(std::size_t count) {
    std::string names;
    for (std::size_t index = 0; index < count; ++index) {
        names += "NM_" + std::to_string(index) + ".1\n";
    }
    return names;
}

std::vector<BadInput> rows() {
    const std::string huge_header = "seq1" + std::string(100u << 20, 'h');
    return {
        // Binary data and NUL bytes in every input.
        {"orvane_binary_list",
         orvane_binary,
         {{"list", binary_data(5000, 1)}, {"matrix", matrix}},
         "list matrix n out sample",
         question,
         {}},
        {"orvane_binary_matrix",
         orvane_binary,
         {{"list", "P Q"}, {"matrix", binary_data(5000, 2)}},
         "list matrix n out sample",
         question,
         {}},
        {"orvane_nul_inside_ids_and_numbers",
         orvane_binary,
         {{"list", std::string("P\0x Q", 5)}, {"matrix", std::string("2 P\0x 0 1\0 Q 1 0", 16)}},
         "list matrix y out sample",
         orvane_done,
         {"out", "sample"}},
        {"talmiro_binary_list",
         talmiro_binary,
         {{"list", binary_data(5000, 3)}, {"in.fa", fasta}},
         "list in.fa n out.fa",
         question,
         {}},
        {"talmiro_binary_fasta",
         talmiro_binary,
         {{"list", "seq1\n"}, {"in.fa", binary_data(200000, 4)}},
         "list in.fa n out.fa",
         question,
         {}},
        {"talmiro_nul_in_names_and_records",
         talmiro_binary,
         {{"list", std::string("s\0q\n", 4)}, {"in.fa", std::string(">s\0q1\nA\0C\n", 10)}},
         "list in.fa out.fa",
         talmiro_done,
         {"out.fa"}},
        // Folders, missing folders and full devices where files are expected.
        {"orvane_folder_as_list", orvane_binary, {{"adir/x", ""}}, "adir", orvane_not_found, {}},
        {"orvane_folder_as_matrix", orvane_binary, {{"list", "P"}, {"adir/x", ""}}, "list adir", orvane_not_found, {}},
        {"orvane_folder_as_output",
         orvane_binary,
         {{"list", "P"}, {"matrix", matrix}, {"adir/x", ""}},
         "list matrix adir sample",
         orvane_cannot_create,
         {}},
        {"orvane_folder_as_sample",
         orvane_binary,
         {{"list", "P"}, {"matrix", matrix}, {"adir/x", ""}},
         "list matrix out adir",
         orvane_cannot_create,
         {"out"}},
        {"orvane_missing_folder_in_output",
         orvane_binary,
         {{"list", "P"}, {"matrix", matrix}},
         "list matrix nowhere/out sample",
         orvane_cannot_create,
         {}},
        {"orvane_full_device_as_output",
         orvane_binary,
         {{"list", "P"}, {"matrix", matrix}},
         "list matrix /dev/full sample",
         orvane_cannot_write,
         {"sample"}},
        {"orvane_full_device_as_sample",
         orvane_binary,
         {{"list", "P"}, {"matrix", matrix}},
         "list matrix out /dev/full",
         orvane_cannot_write,
         {"out"}},
        {"talmiro_folder_as_list", talmiro_binary, {{"adir/x", ""}}, "adir", talmiro_not_found, {}},
        {"talmiro_folder_as_fasta",
         talmiro_binary,
         {{"list", "a"}, {"adir/x", ""}},
         "list adir",
         talmiro_not_found,
         {}},
        {"talmiro_folder_as_output",
         talmiro_binary,
         {{"list", "seq2"}, {"in.fa", fasta}, {"adir/x", ""}},
         "list in.fa adir",
         talmiro_cannot_create,
         {}},
        {"talmiro_missing_folder_in_output",
         talmiro_binary,
         {{"list", "seq2"}, {"in.fa", fasta}},
         "list in.fa nowhere/out.fa",
         talmiro_cannot_create,
         {}},
        {"talmiro_full_device_as_output",
         talmiro_binary,
         {{"list", "seq2"}, {"in.fa", fasta}},
         "list in.fa /dev/full",
         "\nUnable to write file, aborting....\n",
         {}},
        // Outputs named like inputs, and one file for both outputs.
        {"orvane_output_named_like_the_list",
         orvane_binary,
         {{"list", "P"}, {"matrix", matrix}},
         "list matrix list sample",
         orvane_done,
         {"list", "sample"}},
        {"orvane_same_file_for_both_outputs",
         orvane_binary,
         {{"list", "P"}, {"matrix", matrix}},
         "list matrix out ./out",
         "\nOutput files must be different, aborting.....\n",
         {"out"}},
        {"talmiro_output_named_like_the_list",
         talmiro_binary,
         {{"list", "seq2"}, {"in.fa", fasta}},
         "list in.fa list",
         talmiro_done,
         {"list"}},
        // Sizes: a lying header, a single 100 MB line, a list of a million names (how long each
        // takes is a row of bench/limits).
        {"orvane_order_of_two_billion_over_a_tiny_file",
         orvane_binary,
         {{"list", ""}, {"matrix", "2000000000 P 0.5"}},
         "list matrix out sample",
         orvane_done,
         {"out", "sample"}},
        {"talmiro_header_of_100_megabytes",
         talmiro_binary,
         {{"list", "seq1\n"}, {"in.fa", ">" + huge_header + "\nAC\n"}},
         "list in.fa out.fa",
         talmiro_done,
         {"out.fa"}},
        {"orvane_list_of_a_million_ids",
         orvane_binary,
         {{"list", many_names(1000000)}, {"matrix", matrix}},
         "list matrix n",
         question,
         {}},
        {"talmiro_list_of_a_million_names",
         talmiro_binary,
         {{"list", many_names(1000000)}, {"in.fa", fasta}},
         "list in.fa n",
         question,
         {}},
        // Standard input that ends at each prompt and question, and answers with extra words.
        {"orvane_input_ends_at_the_list_prompt", orvane_binary, {}, "", orvane_not_found, {}},
        {"orvane_input_ends_at_the_matrix_prompt", orvane_binary, {{"list", "P"}}, "list", orvane_not_found, {}},
        {"orvane_input_ends_at_the_question",
         orvane_binary,
         {{"list", "X"}, {"matrix", matrix}},
         "list matrix",
         question,
         {}},
        {"orvane_input_ends_at_the_output_prompt",
         orvane_binary,
         {{"list", "P"}, {"matrix", matrix}},
         "list matrix",
         orvane_cannot_create,
         {}},
        {"orvane_input_ends_at_the_sample_prompt",
         orvane_binary,
         {{"list", "P"}, {"matrix", matrix}},
         "list matrix out",
         orvane_cannot_create,
         {"out"}},
        {"orvane_extra_words_shift_the_answers",
         orvane_binary,
         {{"list", "P"}, {"matrix", matrix}},
         "list please matrix",
         orvane_not_found,
         {}},
        {"talmiro_input_ends_at_the_list_prompt", talmiro_binary, {}, "", talmiro_not_found, {}},
        {"talmiro_input_ends_at_the_fasta_prompt", talmiro_binary, {{"list", "a"}}, "list", talmiro_not_found, {}},
        {"talmiro_input_ends_at_the_question",
         talmiro_binary,
         {{"list", "x"}, {"in.fa", fasta}},
         "list in.fa",
         question,
         {}},
        {"talmiro_input_ends_at_the_output_prompt",
         talmiro_binary,
         {{"list", "seq1"}, {"in.fa", fasta}},
         "list in.fa",
         talmiro_cannot_create,
         {}},
        {"talmiro_extra_words_shift_the_answers",
         talmiro_binary,
         {{"list", "x"}, {"in.fa", fasta}},
         "list in.fa yes please out.fa",
         talmiro_done,
         {"es"}},
    };
}

class BadInputRun : public ::testing::TestWithParam<BadInput> {};

TEST_P(BadInputRun, HasItsDefinedOutcome) {
    const BadInput& row = GetParam();
    ScratchDir dir;
    std::set<std::string> before;
    for (const auto& [name, content] : row.inputs) {
        dir.write(name, content);
        before.insert(name);
    }
    const ProcessResult result = run_process(row.binary, row.answers, dir.path());
    EXPECT_EQ(result.exit_status, 0) << "the run must end by itself, with status 0";
    ASSERT_GE(result.output.size(), row.ending.size());
    EXPECT_EQ(result.output.substr(result.output.size() - row.ending.size()), row.ending);
    std::set<std::string> allowed = before;
    allowed.insert(row.may_write.begin(), row.may_write.end());
    for (const auto& entry : fs::recursive_directory_iterator(dir.path())) {
        const std::string name = fs::relative(entry.path(), dir.path()).string();
        if (!entry.is_directory()) {
            EXPECT_TRUE(allowed.count(name) == 1) << "written though nobody named it: " << name;
        }
    }
    for (const auto& [name, content] : row.inputs) {
        const bool named_as_output = std::find(row.may_write.begin(), row.may_write.end(), name) != row.may_write.end();
        if (!named_as_output) {
            EXPECT_EQ(dir.read(name), content) << "an input changed: " << name;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Table, BadInputRun, ::testing::ValuesIn(rows()),
                         [](const auto& test_info) { return test_info.param.name; });

// An unreadable input can only be tried by a user whom the permissions bind.
TEST(BadInputPermissions, UnreadableInputsAreNotFound) {
    if (::geteuid() == 0) {
        GTEST_SKIP() << "permissions do not bind root";
    }
    ScratchDir dir;
    dir.write("list", "P");
    fs::permissions(dir / "list", fs::perms::none);
    const ProcessResult result = run_process(ORVANE_BINARY, "list", dir.path());
    EXPECT_EQ(result.exit_status, 0);
    EXPECT_TRUE(result.output.ends_with(orvane_not_found));
}

// The read-ahead helper and the interrupt watcher are threads; where none can be started (a
// process limit, or here: stacks too large for the address space), both programs run without.
// --index makes indexes of regular files only, and writes only regular files: standard input
// under any of its names is a usage error, a FIFO or a device is refused without being opened
// (opening a FIFO would wait for a writer), and an index's name held by a FIFO is left alone.
TEST(BadInputIndexes, IndexModeTakesAndWritesOnlyRegularFiles) {
    ScratchDir dir;
    dir.write("m.txt", "2\nP 0 1\nQ 1 0\n");
    dir.write("in.fa", ">a\nAC\n");
    ASSERT_EQ(::mkfifo((dir / "pipe").c_str(), 0600), 0);
    ASSERT_EQ(::mkfifo((dir / "in.fa.tix").c_str(), 0600), 0);
    const struct {
        std::string binary;
        std::vector<std::string> arguments;
        int status;
        std::string errors;
    } cases[] = {
        {orvane_binary,
         {"--index", "/dev/stdin"},
         2,
         "orvane: an index is made for a file: '/dev/stdin' names standard input or an open descriptor, which cannot "
         "have one\nTry 'orvane --help' for more information.\n"},
        {talmiro_binary,
         {"--index", "-"},
         2,
         "talmiro: an index is made for a file: standard input (-) cannot have one\nTry 'talmiro --help' for more "
         "information.\n"},
        {talmiro_binary,
         {"--index", "/dev/fd/0"},
         2,
         "talmiro: an index is made for a file: '/dev/fd/0' names standard input or an open descriptor, which cannot "
         "have one\nTry 'talmiro --help' for more information.\n"},
        {orvane_binary,
         {"--index", "pipe"},
         1,
         "orvane: 'pipe': only a regular file can have an index, and it is a FIFO\n"},
        {talmiro_binary,
         {"--index", "/dev/null"},
         1,
         "talmiro: '/dev/null': only a regular file can have an index, and it is a character device\n"},
        {talmiro_binary, {"--index", "in.fa"}, 1, "talmiro: 'in.fa.tix': it is a FIFO, not a regular file\n"},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.arguments[1]);
        const ProcessResult run = run_command(test.binary, test.arguments, "", dir.path());
        EXPECT_EQ(run.exit_status, test.status);
        EXPECT_EQ(run.errors, test.errors);
    }
    // Nothing new beside the files, and no index taken from a FIFO.
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir.path())) {
        names.insert(entry.path().filename().string());
    }
    EXPECT_EQ(names, (std::set<std::string>{"m.txt", "in.fa", "pipe", "in.fa.tix"}));
    EXPECT_TRUE(fs::is_fifo(dir / "in.fa.tix"));
}

// A reader of standard output that goes away (`| head -c 1`) fails the run with the write error,
// exit 1, and leaves no hidden temporary file beside the other output (the signal used to end the
// run and leave one).
TEST(BadInputOutputs, AClosedPipeIsAWriteFailureAndLeavesNothing) {
    ScratchDir dir;
    std::string big_matrix = "600\n";
    std::string list;
    std::string records;
    for (int row = 0; row < 600; ++row) {
        big_matrix += "s" + std::to_string(row);
        for (int column = 0; column < 600; ++column) {
            big_matrix += " " + std::to_string(std::abs(row - column));
        }
        big_matrix += "\n";
        list += "s" + std::to_string(row) + "\n";
        records += ">s" + std::to_string(row) + "\n" + std::string(1000, "ACGT"[row % 4]) + "\n";
    }
    dir.write("m.txt", big_matrix);
    dir.write("list", list);
    dir.write("r1.fa", records);
    dir.write("r2.fa", records);
    const struct {
        std::string command;
        std::string message;
    } cases[] = {
        {orvane_binary + " -l list -i m.txt -o out.txt -s -", "orvane: cannot write standard output: Broken pipe\n"},
        {talmiro_binary + " -l list -i r1.fa -i r2.fa -o out.fa -o - --match word",
         "talmiro: cannot write standard output: Broken pipe\n"},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.command);
        const ProcessResult run = run_command(
            "/bin/bash", {"-c", test.command + " | head -c 1 > /dev/null; echo ${PIPESTATUS[0]}"}, "", dir.path());
        EXPECT_EQ(run.output, "1\n");
        EXPECT_TRUE(run.errors == test.message) << run.errors.substr(0, 400);
        for (const auto& entry : fs::directory_iterator(dir.path())) {
            EXPECT_NE(entry.path().filename().string().front(), '.') << entry.path();
        }
    }
}

TEST(BadInputLimits, NoThreadToBeHadIsNoFailure) {
#ifdef UNDER_SANITIZERS
    GTEST_SKIP() << "the sanitizers' shadow memory does not fit under an address-space limit";
#endif
    ScratchDir dir;
    dir.write("list", "Q P");
    dir.write("matrix", matrix);
    dir.write("names", "seq2\n");
    dir.write("in.fa", fasta);
    const std::string limited = "ulimit -s 4000000; ulimit -v 1000000; exec \"$0\" \"$@\"";
    const ProcessResult orvane =
        run_command("/bin/sh", {"-c", limited, orvane_binary}, "list matrix out sample", dir.path());
    EXPECT_TRUE(orvane.output.ends_with(orvane_done)) << orvane.errors;
    const ProcessResult talmiro =
        run_command("/bin/sh", {"-c", limited, talmiro_binary}, "names in.fa out.fa", dir.path());
    EXPECT_TRUE(talmiro.output.ends_with(talmiro_done)) << talmiro.errors;
    const ProcessResult batch = run_command(
        "/bin/sh", {"-c", limited, orvane_binary, "-l", "list", "-i", "matrix", "-o", "batch", "--decimals", "6"}, "",
        dir.path());
    EXPECT_EQ(batch.exit_status, 0) << batch.errors;
    EXPECT_EQ(dir.read("batch"), dir.read("out"));
}

// A line or token that nothing takes is passed over without being held: memory stays near the
// read window whatever its length.
TEST(BadInputLimits, HugeLinesAndTokensNobodyTakesCostNoMemory) {
    ScratchDir dir;
    // Made by the shell: a child's peak memory counts what it shared with this process at fork.
    const std::string huge = "head -c 200000000 /dev/zero | tr '\\0' x";
    run_command("/bin/sh",
                {"-c", "{ printf '>'; " + huge +
                           "; printf '\\nAC\\n>seq2\\nGG\\n'; } > in.fa; "
                           "{ printf '2\\n'; " +
                           huge + "; printf ' 0 1\\nP 1 0\\n'; } > matrix"},
                "", dir.path());
    dir.write("names", "seq2\n");
    dir.write("list", "P");
    // GNU time reports the program's own peak: wait4 would count what the forked test shared.
    const bool measured = fs::exists("/usr/bin/time");
    const auto run = [&](const std::string& binary, std::vector<std::string> arguments) {
        if (measured) {
            arguments.insert(arguments.begin(), {"-f", "peak %M", binary});
        }
        return run_command(measured ? "/usr/bin/time" : binary, arguments, "", dir.path());
    };
    [[maybe_unused]] const auto peak_kb = [](const ProcessResult& result) {
        return std::stol(result.errors.substr(result.errors.rfind("peak ") + 5));
    };
    const ProcessResult talmiro = run(talmiro_binary, {"-l", "names", "-i", "in.fa", "-o", "out.fa"});
    EXPECT_EQ(talmiro.exit_status, 0) << talmiro.errors;
    EXPECT_EQ(dir.read("out.fa"), ">seq2\nGG\n");
    const ProcessResult orvane = run(orvane_binary, {"-l", "list", "-i", "matrix", "-o", "out"});
    EXPECT_EQ(orvane.exit_status, 0) << orvane.errors;
    EXPECT_EQ(dir.read("out"), "    1\nP                  0\n");
    // A small file that inflates to far more: it costs time, never memory.
    dir.write("bomb.gz", packed(dir.read("in.fa"), Packing::gzip));
    fs::remove(dir / "in.fa");
    const ProcessResult bomb = run(talmiro_binary, {"-l", "names", "-i", "bomb.gz", "-o", "out.fa"});
    EXPECT_EQ(bomb.exit_status, 0) << bomb.errors;
    EXPECT_EQ(dir.read("out.fa"), ">seq2\nGG\n");
#ifdef UNDER_SANITIZERS
    GTEST_SKIP() << "the outputs are checked; the memory bounds are not, as the sanitizers' shadow memory counts too";
#else
    if (!measured) {
        GTEST_SKIP()
            << "the outputs are checked; the memory bounds need GNU time (/usr/bin/time: apt-get install time)";
    }
    EXPECT_LT(peak_kb(talmiro), 80'000);
    EXPECT_LT(peak_kb(orvane), 80'000);
    EXPECT_LT(peak_kb(bomb), 80'000);
#endif
}

// Another process cuts the input short as a run starts to read it. Whenever the cut lands, the
// run ends normally: in batch mode with the reason (or, cut before it was opened, as for a short
// file), in the dialogue as for a short file; never with SIGBUS, never with bytes the file did
// not hold. Where the cut lands is left to the two processes (no clock is consulted); the io
// tests cut a mapped read at chosen points.
TEST(BadInputLimits, AnInputCutShortWhileItIsReadEndsCleanly) {
    ScratchDir dir;
    std::string long_fasta;
    std::string names;
    for (int record = 0; record < 60'000; ++record) {
        long_fasta += ">r" + std::to_string(record) + "\n" + std::string(600, "ACGT"[record % 4]) + "\n";
        if (record % 997 == 0) {
            names += "r" + std::to_string(record) + "\n";
        }
    }
    dir.write("names", names);
    // One y for every name, so the dialogue always writes: once the names that are missing have
    // their answers, the next y is taken as the output's name.
    std::string answers = "names in.fa";
    for (int name = 0; name < 62; ++name) {
        answers += " y";
    }
    dir.write("answers", answers + " out.fa");
    std::mt19937 random(7);
    for (int round = 0; round < 12; ++round) {
        const bool batch = round % 2 == 0;
        dir.write("in.fa", long_fasta);
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            if (::chdir(dir.path().c_str()) != 0) {
                ::_exit(127);
            }
            if (batch) {
                ::execl(TALMIRO_BINARY, TALMIRO_BINARY, "-l", "names", "-i", "in.fa", "-o", "out.fa", "--allow-missing",
                        "-q", static_cast<char*>(nullptr));
            } else {
                const int typed = ::open("answers", O_RDONLY);
                const int nowhere = ::open("/dev/null", O_WRONLY);
                ::dup2(typed, STDIN_FILENO);
                ::dup2(nowhere, STDOUT_FILENO);
                ::execl(TALMIRO_BINARY, TALMIRO_BINARY, static_cast<char*>(nullptr));
            }
            ::_exit(127);
        }
        fs::resize_file(dir / "in.fa", random() % long_fasta.size());
        int status = 0;
        ::waitpid(child, &status, 0);
        ASSERT_TRUE(WIFEXITED(status)) << "round " << round << " ended by signal " << WTERMSIG(status);
        const std::string output = dir.exists("y") ? "y" : "out.fa";
        if (!dir.exists(output)) {
            EXPECT_TRUE(batch && WEXITSTATUS(status) == 1) << "round " << round;
            continue;
        }
        const std::string written = dir.read(output);
        EXPECT_EQ(written.find('\0'), std::string::npos) << "round " << round << ": bytes the file never held";
        // Every record written is the start of one in the file, cut only by the file's new end.
        for (std::size_t at = 0; at < written.size();) {
            const std::size_t next = std::min(written.find('>', at + 1), written.size());
            const std::string record = written.substr(at, next - at);
            EXPECT_NE(long_fasta.find(record.substr(0, record.size() - 1)), std::string::npos) << "round " << round;
            at = next;
        }
        fs::remove(dir / output);
    }
}

}  // namespace
