#include "io.hpp"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace io {

namespace {
constexpr std::size_t output_buffer_size = std::size_t{1} << 16;
}

std::optional<OutputFile> OutputFile::create(const std::string& name, std::optional<IoError>* error) {
    const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) {
        if (error != nullptr) {
            *error = IoError{IoError::Action::create, name, errno, {}};
        }
        return std::nullopt;
    }
    return OutputFile(fd, name);
}

OutputFile::OutputFile(int fd, std::string name) : fd_(fd), name_(std::move(name)), buffer_(output_buffer_size) {}

OutputFile::OutputFile(OutputFile&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)),
      name_(std::move(other.name_)),
      error_(std::move(other.error_)),
      buffer_(std::move(other.buffer_)),
      used_(std::exchange(other.used_, 0)) {}

OutputFile& OutputFile::operator=(OutputFile&& other) noexcept {
    if (this != &other) {
        close();
        fd_ = std::exchange(other.fd_, -1);
        name_ = std::move(other.name_);
        error_ = std::move(other.error_);
        buffer_ = std::move(other.buffer_);
        used_ = std::exchange(other.used_, 0);
    }
    return *this;
}

OutputFile::~OutputFile() { close(); }

void OutputFile::write(std::string_view text) {
    if (text.size() > buffer_.size() - used_) {
        flush();
        if (text.size() >= buffer_.size()) {
            write_through(text.data(), text.size());
            return;
        }
    }
    std::memcpy(buffer_.data() + used_, text.data(), text.size());
    used_ += text.size();
}

void OutputFile::put(char c) {
    if (used_ == buffer_.size()) {
        flush();
    }
    buffer_[used_++] = c;
}

void OutputFile::flush() {
    write_through(buffer_.data(), used_);
    used_ = 0;
}

void OutputFile::fail(int error_number) {
    if (!error_) {
        error_ = IoError{IoError::Action::write, name_, error_number, {}};
    }
}

void OutputFile::write_through(const char* data, std::size_t size) {
    // After the first failure nothing more is attempted: the outcome is already decided,
    // and a full disk should not be hammered with the rest of a large output.
    while (size > 0 && !error_ && fd_ >= 0) {
        const ssize_t put = ::write(fd_, data, size);
        if (put < 0) {
            if (errno != EINTR) {
                fail(errno);
            }
        } else if (put == 0) {
            fail(EIO);
        } else {
            data += put;
            size -= static_cast<std::size_t>(put);
        }
    }
}

bool OutputFile::close() {
    if (fd_ < 0) {
        return !error_;
    }
    flush();
    if (::close(std::exchange(fd_, -1)) != 0) {
        fail(errno);
    }
    return !error_;
}

bool OutputFile::same_file_as(const OutputFile& other) const {
    struct stat mine {};
    struct stat theirs {};
    if (::fstat(fd_, &mine) != 0 || ::fstat(other.fd_, &theirs) != 0) {
        return false;
    }
    // Two handles on one device (/dev/null, a terminal) corrupt nothing; only a shared
    // regular file would hold two interleaved outputs.
    return S_ISREG(mine.st_mode) && mine.st_dev == theirs.st_dev && mine.st_ino == theirs.st_ino;
}

}  // namespace io
