// Helpers shared by the tests: a scratch folder, a runner that drives a built binary through
// pipes, and the fixed pieces of both programs' transcripts.
#pragma once

#include <sys/resource.h>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace testing_support {

namespace fs = std::filesystem;

// A fresh folder for one test, removed with everything in it afterwards.
class ScratchDir {
public:
    ScratchDir();
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    const fs::path& path() const { return path_; }
    fs::path operator/(std::string_view name) const { return path_ / name; }
    void write(std::string_view name, std::string_view content) const;
    std::string read(std::string_view name) const;
    bool exists(std::string_view name) const;

private:
    fs::path path_;
};

std::string read_file(const fs::path& path);
void write_file(const fs::path& path, std::string_view content);

struct ProcessResult {
    std::string output;
    std::string errors;    // standard error
    int exit_status = -1;  // -1 when the process did not exit normally
    int signal = 0;        // the signal that ended it, if one did
};

// Runs `binary` in `working_dir` with `answers` on standard input and returns what it printed.
// `address_space_limit`, when non-zero, caps the child's memory to provoke allocation failures.
ProcessResult run_process(const fs::path& binary, std::string_view answers, const fs::path& working_dir,
                          rlim_t address_space_limit = 0);

// Runs `binary` with `arguments` in `working_dir`, `standard_input` piped in.
ProcessResult run_command(const fs::path& binary, const std::vector<std::string>& arguments,
                          std::string_view standard_input, const fs::path& working_dir);

// Changes the working folder for the life of the object, so in-process runs see the same
// relative file names as a binary started there.
class WorkingDirGuard {
public:
    explicit WorkingDirGuard(const fs::path& dir);
    ~WorkingDirGuard();
    WorkingDirGuard(const WorkingDirGuard&) = delete;
    WorkingDirGuard& operator=(const WorkingDirGuard&) = delete;

private:
    fs::path previous_;
};

// The banner with the given program title ("ORVANE" or "TALMIRO").
std::string banner(std::string_view program);

// A meter drawn from 0% and redrawn at each of `percentages`, without the line end.
std::string meter(std::string_view label, const std::vector<long long>& percentages);

}  // namespace testing_support

#include "io/read_buffer.hpp"
#include "text/name_list.hpp"

#include <functional>
#include <iosfwd>
#include <utility>

namespace testing_support {

using Files = std::vector<std::pair<std::string, std::string>>;

// One whole session: the files present before, the answers typed, and everything expected
// after: the transcript byte for byte, each output file byte for byte, and no other file.
struct Scenario {
    std::string name;
    Files inputs;
    std::string answers;
    std::string transcript;
    Files outputs;
};

enum class Mode { in_process, binary };

// A run in batch mode through the built binary: the files before, the command line and standard
// input, and everything expected after: exit status, both standard streams and every file in
// the folder, byte for byte (outputs listed; inputs as they were; nothing else).
struct BatchScenario {
    std::string name;
    Files inputs;
    std::vector<std::string> arguments;
    std::string standard_input;
    int exit_status;
    std::string standard_output;
    std::string standard_error;
    Files outputs;
};
void expect_batch_scenario(const BatchScenario& scenario, const fs::path& binary);

// Writes `content` over the file `name` in `dir` and puts its modification time back, as an edit
// that an index's record of the time cannot see.
void rewrite_keeping_time(const ScratchDir& dir, std::string_view name, std::string_view content);

// Gives the index `index` (of a kind whose header holds `facts_size` bytes of facts) the stamp
// `file` has now, as if the change just made to the file had slipped past its stamp (an edit in
// the clock tick after the index was made, unseen by the build's own check): what is left to
// catch it are the checks of what the index locates.
void restamp_index(const ScratchDir& dir, std::string_view index, std::string_view file, std::size_t facts_size);

// The -v lines that say how an input was read (through an index, or why not) left out, and a
// count from an index taken as the same count scanned: what a run through an index and the
// same run with --no-index must then say alike.
std::string reading_notes_aside(std::string errors);

// A run given an index it cannot trust: `warning` once (none where empty), then what the same run
// with --no-index gives, status, output and messages alike.
void expect_read_whole_after(const fs::path& binary, const std::vector<std::string>& arguments, const ScratchDir& dir,
                             const std::string& warning);

// Lets a failing parameterised test name its scenario instead of dumping its bytes.
void PrintTo(const Scenario& scenario, std::ostream* out);
void PrintTo(const BatchScenario& scenario, std::ostream* out);

using RunFunction = std::function<void(std::istream&, std::ostream&)>;

// Plays the scenario in a fresh folder, in-process through `run` or through the built binary.
void expect_scenario(const Scenario& scenario, Mode mode, const RunFunction& run, const fs::path& binary);

std::string scenario_test_name(const Scenario& scenario, Mode mode);

}  // namespace testing_support

namespace testing_support {

// How a reader under test sees its file: copied through a buffer of `size` bytes, or mapped in
// windows of `size` rounded up to a page.
struct BufferSetup {
    std::size_t size;
    io::ReadBuffer::Access access;
};

// Tiny copied buffers split tokens and lines at every byte; one-page mapped windows split long
// inputs at page edges; the default setup is what the programs use.
std::vector<BufferSetup> buffer_setups();

std::string describe(const BufferSetup& setup);

}  // namespace testing_support
