// The --index mode's first and last steps, the same for every kind of index: only a regular file
// named on the command line gets one (standard input, a pipe or a terminal cannot be read again
// from the middle), only in the storages its program can read from the middle, and only if it did
// not change while it was read.
#pragma once

#include "index/checksum.hpp"
#include "index/index_header.hpp"
#include "io/file_system.hpp"
#include "io/input_file.hpp"
#include "io/io_error.hpp"
#include "io/mapped_file.hpp"
#include "io/random_access.hpp"

#include "threads/helper.hpp"

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace indexing {

// A file opened to be indexed, with what it was when opened, and locked, so that two --index
// runs of one file at once leave one complete index, never a mix of the two.
struct Indexable {
    io::ExclusiveLock lock;
    io::InputFile file;
    io::FileStamp stamp;
    io::Storage storage;
};

// The checksum of a file's whole content as stored: summed from the bytes the program's scan
// reads, handed to add() (where the scan reads the file as stored: the sum then costs no
// second read), or else on a helper thread while the program scans it (or by the owner when
// asked for it, where no thread can be had).
class ContentSum {
public:
    enum class Source { scan, file };
    ContentSum(const std::string& path, const io::FileStamp& stamp, Source source = Source::file);
    void add(std::string_view bytes) { scanned_.add(bytes); }
    ~ContentSum() { helper_.reset(); }
    ContentSum(const ContentSum&) = delete;
    ContentSum& operator=(const ContentSum&) = delete;
    // Waits for it; nothing, with `error`, where the file could not be read whole.
    std::optional<std::uint64_t> result(std::optional<io::IoError>& error);

private:
    void sum();

    std::string path_;
    io::FileStamp stamp_;
    Source source_;
    ContentChecksum scanned_;
    std::optional<std::uint64_t> sum_;
    std::optional<io::IoError> error_;
    std::unique_ptr<threads::Helper> helper_;
};

// The header's identity of the file once its scan is over: the stamp it had when opened (an
// error where it has changed since), the content's checksum, and whether it changed too lately
// for the stamp alone to be trusted (`now`).
std::optional<io::IoError> identify(const std::string& path, const io::FileStamp& stamp, ContentSum& content,
                                    std::chrono::system_clock::time_point now, IndexHeader& header);

// Why a file gets no index: the name is no file's (standard input, a descriptor: a usage
// error), it could not be opened, or it is not one that can have an index.
struct Refusal {
    enum class Kind { misuse, cannot_open, cannot_index };
    Kind kind;
    std::string message;
};

// Why a program cannot index a file stored so, or nothing where it can.
using StorageRule = std::function<std::optional<std::string>(io::Storage)>;

// The file, opened and looked at; or nothing, with `refusal` saying why.
std::optional<Indexable> open_to_index(const std::string& path, const StorageRule& can_index, Refusal& refusal);

// Whether `path` names standard input or an inherited descriptor rather than a file: "-",
// /dev/stdin, /dev/fd/N, /proc/self/fd/N.
bool names_a_stream(const std::string& path);

// Opens `path` again for the checks after a scan (the scan takes the first descriptor).
std::optional<io::InputFile> open_again(const std::string& path, Refusal& refusal);

// The error to give where the file's stamp is no longer `stamp`, or nothing.
std::optional<io::IoError> changed_since(const std::string& path, const io::FileStamp& stamp);

}  // namespace indexing
