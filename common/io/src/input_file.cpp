#include "io/input_file.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <string>
#include <utility>

namespace io {

std::optional<InputFile> InputFile::open(const std::string& name, std::optional<IoError>* error) {
    const auto refuse = [&](int error_number) -> std::optional<InputFile> {
        if (error != nullptr) {
            *error = IoError{IoError::Action::open, name, error_number, {}};
        }
        return std::nullopt;
    };
    const int fd = ::open(name.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return refuse(errno);
    }
    InputFile file(fd, name);
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
        return refuse(errno);
    }
    if (S_ISDIR(info.st_mode)) {
        return refuse(EISDIR);
    }
    return file;
}

std::size_t InputFile::read_some(char* into, std::size_t size) {
    while (fd_.valid() && !error_) {
        const ssize_t got = ::read(fd_.get(), into, size);
        if (got >= 0) {
            return static_cast<std::size_t>(got);
        }
        if (errno != EINTR) {
            error_ = IoError{IoError::Action::read, name_, errno, {}};
        }
    }
    return 0;
}

std::optional<InputFile> InputFile::open_again() const {
    // Through /proc the name stays the file it was, even where it has since been renamed or
    // replaced; the inode is compared all the same.
    const std::string path = "/proc/self/fd/" + std::to_string(fd_.get());
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return std::nullopt;
    }
    InputFile again(fd, name_);
    struct stat first {};
    struct stat second {};
    if (::fstat(fd_.get(), &first) != 0 || ::fstat(fd, &second) != 0 || !S_ISREG(first.st_mode) ||
        first.st_dev != second.st_dev || first.st_ino != second.st_ino) {
        return std::nullopt;
    }
    return again;
}

InputFile InputFile::standard_input() { return InputFile(::dup(STDIN_FILENO), "-"); }

}  // namespace io
