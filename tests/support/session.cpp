#include "support/session.hpp"

#include "support/restamping.hpp"

#include "project/version.hpp"

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <array>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>

namespace testing_support {

ScratchDir::ScratchDir() {
    std::string pattern = (fs::temp_directory_path() / "orvane-talmiro-test-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("cannot create a scratch folder");
    }
    path_ = pattern;
}

ScratchDir::~ScratchDir() {
    std::error_code ignored;
    fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ignored);
    fs::remove_all(path_, ignored);
}

void ScratchDir::write(std::string_view name, std::string_view content) const { write_file(path_ / name, content); }
std::string ScratchDir::read(std::string_view name) const { return read_file(path_ / name); }
bool ScratchDir::exists(std::string_view name) const { return fs::exists(path_ / name); }

std::string read_file(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        throw std::runtime_error("cannot read " + path.string());
    }
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void write_file(const fs::path& path, std::string_view content) {
    fs::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(content.data(), static_cast<std::streamsize>(content.size()));
    if (!out) {
        throw std::runtime_error("cannot write " + path.string());
    }
}

namespace {

// Feeds `answers` and collects the output at once, so neither side can block the other, until
// the child closes its output. A child that hangs is CTest's to stop (each test has a timeout).
void exchange(int to_child, int from_child, std::string_view answers, std::string& output) {
    std::size_t sent = 0;
    if (answers.empty()) {
        ::close(to_child);
        to_child = -1;
    }
    std::array<char, 65536> chunk{};
    for (;;) {
        std::array<pollfd, 2> watched{{{from_child, POLLIN, 0}, {to_child, POLLOUT, 0}}};
        const int ready = ::poll(watched.data(), to_child >= 0 ? 2 : 1, -1);
        if (ready < 0 && errno == EINTR) {
            continue;
        }
        if (to_child >= 0 && (watched[1].revents & (POLLOUT | POLLERR | POLLHUP)) != 0) {
            const ssize_t put = ::write(to_child, answers.data() + sent, answers.size() - sent);
            if (put > 0) {
                sent += static_cast<std::size_t>(put);
            }
            if (put < 0 || sent == answers.size()) {
                ::close(to_child);
                to_child = -1;
            }
        }
        if ((watched[0].revents & (POLLIN | POLLHUP | POLLERR)) != 0) {
            const ssize_t got = ::read(from_child, chunk.data(), chunk.size());
            if (got > 0) {
                output.append(chunk.data(), static_cast<std::size_t>(got));
            } else if (got == 0 || errno != EINTR) {
                if (to_child >= 0) {
                    ::close(to_child);
                }
                return;
            }
        }
    }
}

ProcessResult run_child(const fs::path& binary, const std::vector<std::string>& arguments, std::string_view answers,
                        const fs::path& working_dir, rlim_t address_space_limit) {
    // Standard error goes to an unnamed file, so it neither blocks the child nor shows in the folder.
    std::FILE* const errors = std::tmpfile();
    if (errors == nullptr) {
        throw std::runtime_error("cannot create a file for standard error");
    }
    std::vector<std::string> words = {binary.string()};
    words.insert(words.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& word : words) {
        argv.push_back(word.data());
    }
    argv.push_back(nullptr);
    int input_pipe[2];
    int output_pipe[2];
    if (::pipe2(input_pipe, O_CLOEXEC) != 0 || ::pipe2(output_pipe, O_CLOEXEC) != 0) {
        throw std::runtime_error("cannot create pipes");
    }
    const pid_t child = ::fork();
    if (child < 0) {
        throw std::runtime_error("cannot fork");
    }
    if (child == 0) {
        ::dup2(input_pipe[0], STDIN_FILENO);
        ::dup2(output_pipe[1], STDOUT_FILENO);
        ::dup2(::fileno(errors), STDERR_FILENO);
        if (::chdir(working_dir.c_str()) != 0) {
            ::_exit(127);
        }
        if (address_space_limit != 0) {
            const rlimit limit{address_space_limit, address_space_limit};
            ::setrlimit(RLIMIT_AS, &limit);
        }
        ::execv(binary.c_str(), argv.data());
        ::_exit(127);
    }
    ::close(input_pipe[0]);
    ::close(output_pipe[1]);
    // A child that stops reading must not kill the test with SIGPIPE.
    std::signal(SIGPIPE, SIG_IGN);

    ProcessResult result;
    exchange(input_pipe[1], output_pipe[0], answers, result.output);
    ::close(output_pipe[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    result.exit_status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    result.signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
    std::rewind(errors);
    std::array<char, 4096> chunk{};
    for (std::size_t got = 0; (got = std::fread(chunk.data(), 1, chunk.size(), errors)) > 0;) {
        result.errors.append(chunk.data(), got);
    }
    std::fclose(errors);
    return result;
}

}  // namespace

ProcessResult run_process(const fs::path& binary, std::string_view answers, const fs::path& working_dir,
                          rlim_t address_space_limit) {
    return run_child(binary, {}, answers, working_dir, address_space_limit);
}

ProcessResult run_command(const fs::path& binary, const std::vector<std::string>& arguments,
                          std::string_view standard_input, const fs::path& working_dir) {
    return run_child(binary, arguments, standard_input, working_dir, 0);
}

std::string reading_notes_aside(std::string errors) {
    std::string kept;
    for (std::size_t start = 0; start < errors.size();) {
        const std::size_t end = std::min(errors.find('\n', start), errors.size() - 1);
        std::string line = errors.substr(start, end + 1 - start);
        start = end + 1;
        if (line.find(": index not used for ") != std::string::npos ||
            line.find(" read through an index: ") != std::string::npos ||
            line.find(" was checked against ") != std::string::npos) {
            continue;
        }
        const std::string from_index = "records in the file (from its index): ";
        if (const std::size_t at = line.find(from_index); at != std::string::npos) {
            line.replace(at, from_index.size(), "records scanned: ");
        }
        kept += line;
    }
    return kept;
}

WorkingDirGuard::WorkingDirGuard(const fs::path& dir) : previous_(fs::current_path()) { fs::current_path(dir); }
WorkingDirGuard::~WorkingDirGuard() {
    std::error_code ignored;
    fs::current_path(previous_, ignored);
}

std::string banner(std::string_view program) {
    const std::string_view rule = "\t*******************************************************\n";
    std::string text = "\n";
    text.append(rule).append("\t\t").append(program).append(" v" ORVANE_TALMIRO_VERSION "\n").append(rule);
    text.append("For latest updates and help, please visit ").append(project::homepage).append("\n");
    return text;
}

std::string meter(std::string_view label, const std::vector<long long>& percentages) {
    std::string drawn = "\n";
    drawn.append(label).append("0%");
    for (const long long percent : percentages) {
        drawn.append("\r").append(label).append(std::to_string(percent)).append("%");
    }
    return drawn;
}

}  // namespace testing_support

#include <gtest/gtest.h>
#include <map>
#include <set>

namespace testing_support {

void expect_scenario(const Scenario& scenario, Mode mode, const RunFunction& run, const fs::path& binary) {
    ScratchDir dir;
    std::set<std::string> expected_names;
    for (const auto& [name, content] : scenario.inputs) {
        dir.write(name, content);
        expected_names.insert(name);
    }
    std::string transcript;
    if (mode == Mode::in_process) {
        WorkingDirGuard guard(dir.path());
        std::istringstream in(scenario.answers);
        std::ostringstream out;
        run(in, out);
        transcript = out.str();
    } else {
        const ProcessResult result = run_process(binary, scenario.answers, dir.path());
        EXPECT_EQ(result.exit_status, 0);
        transcript = result.output;
    }
    EXPECT_EQ(transcript, scenario.transcript);
    for (const auto& [name, content] : scenario.outputs) {
        expected_names.insert(name);
        ASSERT_TRUE(dir.exists(name)) << name;
        EXPECT_EQ(dir.read(name), content) << name;
    }
    std::set<std::string> present;
    for (const auto& entry : fs::recursive_directory_iterator(dir.path())) {
        if (entry.is_directory()) {
            continue;
        }
        present.insert(fs::relative(entry.path(), dir.path()).string());
    }
    EXPECT_EQ(present, expected_names) << "files written that nobody named, or expected ones missing";
}

void PrintTo(const Scenario& scenario, std::ostream* out) { *out << scenario.name; }
void PrintTo(const BatchScenario& scenario, std::ostream* out) { *out << scenario.name; }

void rewrite_keeping_time(const ScratchDir& dir, std::string_view name, std::string_view content) {
    struct stat before {};
    ASSERT_EQ(::stat((dir / name).c_str(), &before), 0);
    dir.write(name, content);
    const struct timespec times[2] = {before.st_atim, before.st_mtim};
    ASSERT_EQ(::utimensat(AT_FDCWD, (dir / name).c_str(), times, 0), 0);
}

void restamp_index(const ScratchDir& dir, std::string_view index, std::string_view file, std::size_t facts_size) {
    const std::optional<std::string> bytes =
        restamped(dir.read(index), *io::stamp_of((dir / file).string()), facts_size);
    ASSERT_TRUE(bytes) << index << " has no header to restamp";
    dir.write(index, *bytes);
}

void expect_read_whole_after(const fs::path& binary, const std::vector<std::string>& arguments, const ScratchDir& dir,
                             const std::string& warning) {
    std::vector<std::string> scanning = arguments;
    scanning.push_back("--no-index");
    const ProcessResult whole = run_command(binary, scanning, "", dir.path());
    const ProcessResult spoiled = run_command(binary, arguments, "", dir.path());
    EXPECT_EQ(spoiled.exit_status, whole.exit_status);
    EXPECT_EQ(spoiled.output, whole.output);
    const std::string said =
        warning.empty() ? "" : binary.filename().string() + ": warning: " + warning + ": reading it whole\n";
    EXPECT_EQ(spoiled.errors, said + whole.errors);
}

void expect_batch_scenario(const BatchScenario& scenario, const fs::path& binary) {
    ScratchDir dir;
    std::map<std::string, std::string> expected;
    for (const auto& [name, content] : scenario.inputs) {
        dir.write(name, content);
        expected[name] = content;
    }
    const ProcessResult result = run_command(binary, scenario.arguments, scenario.standard_input, dir.path());
    EXPECT_EQ(result.exit_status, scenario.exit_status) << result.errors;
    EXPECT_EQ(result.output, scenario.standard_output);
    EXPECT_EQ(result.errors, scenario.standard_error);
    for (const auto& [name, content] : scenario.outputs) {
        expected[name] = content;
    }
    std::map<std::string, std::string> present;
    for (const auto& entry : fs::recursive_directory_iterator(dir.path())) {
        if (!entry.is_directory()) {
            const std::string name = fs::relative(entry.path(), dir.path()).string();
            present[name] = read_file(entry.path());
        }
    }
    EXPECT_EQ(present, expected) << "every file, byte for byte: inputs untouched, outputs as expected, nothing else";
}

std::string scenario_test_name(const Scenario& scenario, Mode mode) {
    return scenario.name + (mode == Mode::in_process ? "_in_process" : "_binary");
}

}  // namespace testing_support

namespace testing_support {

std::vector<BufferSetup> buffer_setups() {
    using Access = io::ReadBuffer::Access;
    return {{1, Access::copied},
            {2, Access::copied},
            {3, Access::copied},
            {7, Access::copied},
            {64, Access::copied},
            {1, Access::mapped_when_possible},
            {io::ReadBuffer::default_size, Access::mapped_when_possible}};
}

std::string describe(const BufferSetup& setup) {
    return (setup.access == io::ReadBuffer::Access::copied ? "copied buffer of " : "mapped window of ") +
           std::to_string(setup.size);
}

}  // namespace testing_support
