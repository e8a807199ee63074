#include "io/file_system.hpp"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <cstdlib>

namespace io {

void FileDescriptor::close() {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
}

std::optional<std::size_t> read_at(int fd, std::uint64_t offset, char* into, std::size_t size) {
    std::size_t got = 0;
    while (got < size) {
        const ssize_t count = ::pread(fd, into + got, size - got, static_cast<off_t>(offset + got));
        if (count < 0) {
            if (errno == EINTR) {
                continue;
            }
            return std::nullopt;
        }
        if (count == 0) {
            break;
        }
        got += static_cast<std::size_t>(count);
    }
    return got;
}

bool write_all(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t wrote = ::write(fd, bytes.data(), bytes.size());
        if (wrote < 0 && errno == EINTR) {
            continue;
        }
        if (wrote <= 0) {
            if (wrote == 0) {
                errno = ENOSPC;
            }
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(wrote));
    }
    return true;
}

bool exists(const std::string& path) { return ::access(path.c_str(), F_OK) == 0; }

namespace {

std::optional<std::string> kind_of(mode_t mode) {
    if (S_ISREG(mode)) {
        return std::nullopt;
    }
    if (S_ISFIFO(mode)) {
        return "a FIFO";
    }
    if (S_ISDIR(mode)) {
        return "a directory";
    }
    if (S_ISCHR(mode)) {
        return "a character device";
    }
    if (S_ISBLK(mode)) {
        return "a block device";
    }
    if (S_ISSOCK(mode)) {
        return "a socket";
    }
    return "not a regular file";
}

}  // namespace

std::optional<std::string> special_file_kind(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        return std::nullopt;
    }
    return kind_of(info.st_mode);
}

FileDescriptor open_regular(const std::string& path, std::uint64_t& size, std::optional<IoError>& error) {
    FileDescriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    struct stat info {};
    if (!file.valid() || ::fstat(file.get(), &info) != 0) {
        error = IoError{IoError::Action::open, path, errno, {}};
        return {};
    }
    if (const std::optional<std::string> kind = kind_of(info.st_mode)) {
        error = IoError::bad_content(path, "it is " + *kind + ", not a regular file");
        return {};
    }
    // Reads of a regular file never block; the flag goes so that nothing later is surprised by it.
    ::fcntl(file.get(), F_SETFL, ::fcntl(file.get(), F_GETFL) & ~O_NONBLOCK);
    size = static_cast<std::uint64_t>(info.st_size);
    return file;
}

FileDescriptor open_regular_to_update(const std::string& path, std::uint64_t inode, std::optional<IoError>& error) {
    FileDescriptor file(::open(path.c_str(), O_RDWR | O_CLOEXEC | O_NONBLOCK));
    struct stat info {};
    if (!file.valid() || ::fstat(file.get(), &info) != 0) {
        error = IoError{IoError::Action::open, path, errno, {}};
        return {};
    }
    if (!S_ISREG(info.st_mode) || static_cast<std::uint64_t>(info.st_ino) != inode) {
        error = IoError::bad_content(path, "another file took its name meanwhile");
        return {};
    }
    return file;
}

bool write_at(int fd, std::uint64_t offset, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t written = ::pwrite(fd, bytes.data(), bytes.size(), static_cast<off_t>(offset));
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
        offset += static_cast<std::uint64_t>(written);
    }
    return true;
}

std::optional<ExclusiveLock> ExclusiveLock::take(const std::string& path, std::optional<IoError>& error) {
    std::uint64_t size = 0;
    FileDescriptor file = open_regular(path, size, error);
    if (!file.valid()) {
        return std::nullopt;
    }
    while (::flock(file.get(), LOCK_EX) != 0) {
        if (errno != EINTR) {
            error = IoError{IoError::Action::read, path, errno, {}};
            return std::nullopt;
        }
    }
    return ExclusiveLock(std::move(file));
}

FileDescriptor nameless_file(const std::string& directory, const std::string& fallback_prefix) {
    const int fd = ::open(directory.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (fd >= 0 || (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL)) {
        return FileDescriptor(fd);
    }
    std::string name = directory + "/" + fallback_prefix + "XXXXXX";
    const int named = ::mkostemp(name.data(), O_CLOEXEC);
    if (named >= 0) {
        ::unlink(name.c_str());
    }
    return FileDescriptor(named);
}

}  // namespace io
