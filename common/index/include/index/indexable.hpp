// The --index mode's first and last steps, the same for every kind of index: only a regular file
// named on the command line gets one (standard input, a pipe or a terminal cannot be read again
// from the middle), only in the storages its program can read from the middle, and only if it did
// not change while it was read.
#pragma once

#include "io/input_file.hpp"
#include "io/io_error.hpp"
#include "io/mapped_file.hpp"
#include "io/random_access.hpp"

#include <functional>
#include <optional>
#include <string>

namespace indexing {

// A file opened to be indexed, with what it was when opened.
struct Indexable {
    io::InputFile file;
    io::FileStamp stamp;
    io::Storage storage;
};

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
