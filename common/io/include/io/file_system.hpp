// What the programs ask of the file system beyond reading and writing a file from its start:
// reading at an offset, whether a name exists or is a regular file, and files no name leads to.
// The only place outside io's own files that system calls for these are made.
#pragma once

#include "io/file_descriptor.hpp"
#include "io/io_error.hpp"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace io {

// Up to `size` bytes of `fd` at `offset`, fewer only at the end of the file; nothing on a read
// failure (errno says which).
std::optional<std::size_t> read_at(int fd, std::uint64_t offset, char* into, std::size_t size);

// Writes all of `bytes` to `fd`; false on a failure (errno says which; ENOSPC where the file
// took nothing).
bool write_all(int fd, std::string_view bytes);

// Whether anything (a file, a folder, a dangling link aside) has this name.
bool exists(const std::string& path);
// What `path` names, following links as opening does, where that is neither nothing nor a
// regular file: "a FIFO", "a directory", "a character device", "a block device", "a socket".
std::optional<std::string> special_file_kind(const std::string& path);

// Opens `path` for reading only where it is a regular file, without blocking on the way (a FIFO
// put there between a look and the open would otherwise hang the open); its size at the open in
// `size`. None with `error` saying why: the system's reason, or what else the path names.
FileDescriptor open_regular(const std::string& path, std::uint64_t& size, std::optional<IoError>& error);

// The same for writing in place (an index's header brought up to date): only a regular file,
// and only the very one `inode` names, so that an index put in its place meanwhile is left be.
FileDescriptor open_regular_to_update(const std::string& path, std::uint64_t inode, std::optional<IoError>& error);
// Writes all of `bytes` at `offset`; false on a failure (errno says which).
bool write_at(int fd, std::uint64_t offset, std::string_view bytes);

// Holds an exclusive lock (flock) on `path`, a regular file, waiting for whoever holds one, for
// as long as it lives; released with its descriptor. Two runs that each take it before reading
// a file and let go after writing what they made of it never interleave.
class ExclusiveLock {
public:
    // None (with `error`) where the file cannot be opened or locked.
    static std::optional<ExclusiveLock> take(const std::string& path, std::optional<IoError>& error);

private:
    explicit ExclusiveLock(FileDescriptor file) : file_(std::move(file)) {}
    FileDescriptor file_;
};

// A new file in `directory` that no name leads to from the moment it exists (O_TMPFILE), or,
// on file systems without that, one whose name is removed before anything is written to it;
// none on failure (errno says why).
FileDescriptor nameless_file(const std::string& directory, const std::string& fallback_prefix);

}  // namespace io
