// An index never changes an output: a random FASTA, FASTQ (plain or BGZF) or matrix is indexed,
// then the file or its index is spoiled in random ways (bytes of the file changed in place with
// its times put back, with or without the index restamped to match, as an edit inside one tick
// of the clock would leave it; the index's bits flipped, cut, extended or swapped for another
// file's; the file copied with its times), and the run through what is left must end and write
// exactly as the same run with --no-index does. The one change no index can see, bytes changed
// with the size and every time kept (forged here by restamping the index), is promised nothing
// but a defined outcome: the checks of what the index locates catch most of it, not all.
#include "front/batch_front.hpp"
#include "fuzz_support.hpp"
#include "io/file_system.hpp"
#include "io/temp_files.hpp"
#include "orvane/app/program.hpp"
#include "orvane/app/run.hpp"
#include "support/compression.hpp"
#include "support/restamping.hpp"
#include "talmiro/app/program.hpp"
#include "talmiro/app/run.hpp"
#include "talmiro/index/tix_format.hpp"

#include <fcntl.h>
#include <sys/stat.h>

#include <filesystem>
#include <sstream>

namespace {

enum class Kind { fasta, bgzf, matrix };

struct Ran {
    bool done = false;
    std::string output;
};

Ran run_program(Kind kind, std::vector<std::string> arguments) {
    std::unique_ptr<session::BatchProgram> batch;
    const session::Program& program = kind == Kind::matrix ? orvane::program() : talmiro::program();
    if (kind == Kind::matrix) {
        batch = std::make_unique<orvane::BatchMode>();
    } else {
        batch = std::make_unique<talmiro::BatchMode>();
    }
    std::ostringstream out;
    std::ostringstream err;
    const session::ParsedCommandLine parsed = session::parse_command_line(program, *batch, arguments, out, err);
    fuzzing::require(parsed.options.has_value(), "the command line parses");
    std::filesystem::remove("out");
    io::TempFiles temps;
    session::BatchFront front(program, *parsed.options, err, temps);
    Ran ran;
    ran.done = batch->run(front, *parsed.options) == session::Outcome::done;
    ran.output = std::filesystem::exists("out") ? fuzzing::read_whole("out") : "(none)";
    return ran;
}

// Gives `to` the times of `from`, as `touch -r` does.
void copy_times(const std::string& from, const std::string& to) {
    struct stat before {};
    ::stat(from.c_str(), &before);
    const struct timespec times[2] = {before.st_atim, before.st_mtim};
    ::utimensat(AT_FDCWD, to.c_str(), times, 0);
}

// Rewrites `path` keeping its times, as an edit followed by `touch -r` would.
void write_keeping_times(const std::string& path, const std::string& bytes) {
    std::filesystem::copy_file(path, "times", std::filesystem::copy_options::overwrite_existing);
    copy_times(path, "times");
    fuzzing::write_whole(path, bytes);
    copy_times("times", path);
}

// The index's header given the file's present stamp and no call for a content check.
void restamp(const std::string& index, const std::string& file, std::size_t facts_size) {
    if (const auto bytes = testing_support::restamped(fuzzing::read_whole(index), *io::stamp_of(file), facts_size)) {
        fuzzing::write_whole(index, *bytes);
    }
}

// One spoiling step, from three bytes of the fuzzer's; true where it forged the stamp.
bool spoil(Kind kind, std::uint8_t what, std::uint16_t where, const std::string& text) {
    const std::string index = kind == Kind::matrix ? "in.oix" : "in.tix";
    const std::size_t facts_size = kind == Kind::matrix ? 0 : talmiro::tix_facts_size;
    std::string file = fuzzing::read_whole("in");
    std::string table = fuzzing::read_whole(index);
    switch (what % 8) {
    case 0:
    case 1:
        if (!file.empty()) {
            file[where % file.size()] = static_cast<char>(what >> 3);
            write_keeping_times("in", file);
            if (what % 8 == 1) {
                restamp(index, "in", facts_size);
                return true;
            }
        }
        break;
    case 2:
        if (!table.empty()) {
            table[where % table.size()] ^= static_cast<char>(1 << (what >> 5));
            fuzzing::write_whole(index, table);
        }
        break;
    case 3:
        fuzzing::write_whole(index, table.substr(0, where % (table.size() + 1)));
        break;
    case 4:
        fuzzing::write_whole(index, table + std::string(1 + where % 9, static_cast<char>(what)));
        break;
    case 5: {
        // Another file's index in this one's place.
        std::string other = text;
        if (!other.empty()) {
            other[where % other.size()] = static_cast<char>(what >> 3);
        }
        fuzzing::write_whole(
            "other", kind == Kind::bgzf ? testing_support::packed(other, testing_support::Packing::bgzf) : other);
        if (run_program(kind, {"--index", "other"}).done) {
            std::filesystem::copy_file(std::string("other") + index.substr(2), index,
                                       std::filesystem::copy_options::overwrite_existing);
        }
        break;
    }
    case 6:
        // Settled: the index as it is once its file is older than a clock tick, its stamp
        // trusted without a look at the content, so that damage to it meets the index's own
        // checks alone.
        restamp(index, "in", facts_size);
        break;
    default:
        // Copied with its times: another inode and change time, the same bytes.
        std::filesystem::copy_file("in", "copy", std::filesystem::copy_options::overwrite_existing);
        copy_times("in", "copy");
        std::filesystem::rename("copy", "in");
        break;
    }
    return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzzing::Pieces parts(data, size);
    const std::uint8_t choice = parts.take_byte();
    const std::string spoils = parts.take_part();
    const std::string list = fuzzing::as_plain_text(parts.take_part());
    const std::string text = fuzzing::as_plain_text(parts.take_rest());
    const Kind kind = choice % 3 == 0 ? Kind::matrix : choice % 3 == 1 ? Kind::fasta : Kind::bgzf;
    const fuzzing::InScratchFolder scratch;
    fuzzing::write_whole("list", list);
    fuzzing::write_whole("in",
                         kind == Kind::bgzf ? testing_support::packed(text, testing_support::Packing::bgzf) : text);
    if (!run_program(kind, {"--index", "in"}).done) {
        return 0;
    }
    bool forged = false;
    for (std::size_t at = 0; at + 3 <= spoils.size() && at < 12; at += 3) {
        forged |= spoil(kind, static_cast<std::uint8_t>(spoils[at]),
                        static_cast<std::uint16_t>(static_cast<std::uint8_t>(spoils[at + 1]) << 8 |
                                                   static_cast<std::uint8_t>(spoils[at + 2])),
                        text);
    }
    std::vector<std::string> arguments = {"-l", "list", "-i", "in", "-o", "out"};
    if ((choice >> 2) % 2 == 1) {
        arguments.emplace_back("--allow-missing");
    }
    if (kind != Kind::matrix) {
        const char* const modes[] = {"prefix", "word", "full"};
        arguments.insert(arguments.end(), {"--match", modes[(choice >> 3) % 3]});
    }
    const Ran through = run_program(kind, arguments);
    arguments.emplace_back("--no-index");
    const Ran whole = run_program(kind, arguments);
    if (forged) {
        return 0;
    }
    fuzzing::require(through.done == whole.done, "a run through an index ends as the whole-file read does");
    fuzzing::require(through.output == whole.output, "a run through an index writes what the whole-file read does");
    return 0;
}
