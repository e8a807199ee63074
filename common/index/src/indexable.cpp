#include "index/indexable.hpp"

#include "io/file_system.hpp"
#include "text/quoting.hpp"

namespace indexing {

namespace {

bool names_standard_input(const std::string& path, Refusal& refusal) {
    if (path == "-") {
        refusal = {Refusal::Kind::misuse, "an index is made for a file: standard input (-) cannot have one"};
        return true;
    }
    if (names_a_stream(path)) {
        refusal = {Refusal::Kind::misuse, "an index is made for a file: " + text::file_label(path, false) +
                                              " names standard input or an open descriptor, which cannot have one"};
        return true;
    }
    return false;
}

}  // namespace

bool names_a_stream(const std::string& path) {
    for (const std::string_view stream : {"/dev/stdin", "/dev/fd/", "/proc/self/fd/", "/proc/thread-self/fd/"}) {
        if (stream.back() == '/' ? path.starts_with(stream) : path == stream) {
            return true;
        }
    }
    return path == "-";
}

std::optional<io::InputFile> open_again(const std::string& path, Refusal& refusal) {
    if (names_standard_input(path, refusal)) {
        return std::nullopt;
    }
    std::optional<io::IoError> error;
    std::optional<io::InputFile> file = io::InputFile::open(path, &error);
    if (!file) {
        refusal = {Refusal::Kind::cannot_open, error->describe()};
    }
    return file;
}

std::optional<Indexable> open_to_index(const std::string& path, const StorageRule& can_index, Refusal& refusal) {
    // Looked at before it is opened: opening a FIFO would wait for a writer.
    if (const std::optional<std::string> kind = io::special_file_kind(path); kind && !names_a_stream(path)) {
        refusal = {Refusal::Kind::cannot_index,
                   text::file_label(path, false) + ": only a regular file can have an index, and it is " + *kind};
        return std::nullopt;
    }
    std::optional<io::InputFile> file = open_again(path, refusal);
    if (!file) {
        return std::nullopt;
    }
    const std::optional<io::FileStamp> stamp = io::stamp_of(file->descriptor());
    if (!stamp) {
        refusal = {Refusal::Kind::cannot_index,
                   text::file_label(path, false) + ": only a regular file can have an index"};
        return std::nullopt;
    }
    const io::Storage storage = io::storage_of(*file);
    if (const std::optional<std::string> why_not = can_index(storage)) {
        refusal = {Refusal::Kind::cannot_index, text::file_label(path, false) + ": " + *why_not};
        return std::nullopt;
    }
    return Indexable{std::move(*file), *stamp, storage};
}

std::optional<io::IoError> changed_since(const std::string& path, const io::FileStamp& stamp) {
    if (io::stamp_of(path) != stamp) {
        return io::IoError::changed_while_read(path);
    }
    return std::nullopt;
}

}  // namespace indexing
