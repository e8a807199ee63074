#include "console.hpp"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace console {

namespace {

constexpr std::size_t output_buffer_size = std::size_t{1} << 16;

void close_quietly(int fd) {
    if (fd >= 0) {
        ::close(fd);
    }
}

}  // namespace

std::optional<InputFile> InputFile::open(const std::string& name) {
    const int fd = ::open(name.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return std::nullopt;
    }
    InputFile file(fd);
    struct stat info {};
    if (::fstat(fd, &info) != 0 || S_ISDIR(info.st_mode)) {
        return std::nullopt;
    }
    return file;
}

InputFile::InputFile(InputFile&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}

InputFile& InputFile::operator=(InputFile&& other) noexcept {
    if (this != &other) {
        close_quietly(fd_);
        fd_ = std::exchange(other.fd_, -1);
    }
    return *this;
}

InputFile::~InputFile() { close_quietly(fd_); }

std::size_t InputFile::read_some(char* into, std::size_t size) {
    while (fd_ >= 0) {
        const ssize_t got = ::read(fd_, into, size);
        if (got >= 0) {
            return static_cast<std::size_t>(got);
        }
        if (errno != EINTR) {
            break;
        }
    }
    return 0;
}

ReadBuffer::ReadBuffer(InputFile file, std::size_t size)
    : file_(std::move(file)), buffer_(size == 0 ? 1 : size) {}

bool ReadBuffer::refill(std::size_t& keep) {
    if (exhausted_) {
        return false;
    }
    const std::size_t kept = end_ - keep;
    if (kept > 0 && keep > 0) {
        std::memmove(buffer_.data(), buffer_.data() + keep, kept);
    }
    pos_ -= keep;
    keep = 0;
    end_ = kept;
    if (end_ == buffer_.size()) {
        buffer_.resize(buffer_.size() * 2);
    }
    const std::size_t got = file_.read_some(buffer_.data() + end_, buffer_.size() - end_);
    if (got == 0) {
        exhausted_ = true;
        return false;
    }
    end_ += got;
    return true;
}

bool ReadBuffer::refill() {
    std::size_t keep = pos_;
    return refill(keep);
}

std::optional<OutputFile> OutputFile::create(const std::string& name) {
    const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) {
        return std::nullopt;
    }
    return OutputFile(fd);
}

OutputFile::OutputFile(int fd) : fd_(fd), buffer_(output_buffer_size) {}

OutputFile::OutputFile(OutputFile&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)),
      failed_(other.failed_),
      buffer_(std::move(other.buffer_)),
      used_(std::exchange(other.used_, 0)) {}

OutputFile& OutputFile::operator=(OutputFile&& other) noexcept {
    if (this != &other) {
        close();
        fd_ = std::exchange(other.fd_, -1);
        failed_ = other.failed_;
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

void OutputFile::write_through(const char* data, std::size_t size) {
    // After the first failure nothing more is attempted: the outcome is already decided,
    // and a full disk should not be hammered with the rest of a large output.
    while (size > 0 && !failed_ && fd_ >= 0) {
        const ssize_t put = ::write(fd_, data, size);
        if (put < 0) {
            if (errno == EINTR) {
                continue;
            }
            failed_ = true;
        } else if (put == 0) {
            failed_ = true;
        } else {
            data += put;
            size -= static_cast<std::size_t>(put);
        }
    }
}

bool OutputFile::close() {
    if (fd_ < 0) {
        return !failed_;
    }
    flush();
    if (::close(std::exchange(fd_, -1)) != 0) {
        failed_ = true;
    }
    return !failed_;
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

}  // namespace console
