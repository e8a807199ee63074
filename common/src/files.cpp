#include "console.hpp"

#include <cerrno>
#include <algorithm>
#include <cstring>
#include <fcntl.h>
#include <sys/mman.h>
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

ReadBuffer::ReadBuffer(InputFile file, std::size_t window, Access access)
    : file_(std::move(file)), window_(window == 0 ? 1 : window) {
    struct stat info {};
    if (access == Access::mapped_when_possible && ::fstat(file_.fd_, &info) == 0 && S_ISREG(info.st_mode) &&
        info.st_size > 0) {
        const auto page = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
        mapped_ = true;
        file_size_ = static_cast<std::size_t>(info.st_size);
        window_ = (window_ + page - 1) / page * page;
        // Tell the kernel to read ahead generously: the whole file is passed once, in order.
        ::posix_fadvise(file_.fd_, 0, 0, POSIX_FADV_SEQUENTIAL);
    } else {
        buffer_.resize(window_);
        data_ = buffer_.data();
    }
}

ReadBuffer::ReadBuffer(ReadBuffer&& other) noexcept
    : file_(std::move(other.file_)),
      window_(other.window_),
      mapped_(other.mapped_),
      file_size_(other.file_size_),
      window_offset_(other.window_offset_),
      mapping_(std::exchange(other.mapping_, nullptr)),
      mapping_length_(std::exchange(other.mapping_length_, 0)),
      buffer_(std::move(other.buffer_)),
      data_(mapped_ ? mapping_ : buffer_.data()),
      pos_(other.pos_),
      end_(other.end_),
      exhausted_(other.exhausted_) {}

ReadBuffer::~ReadBuffer() { unmap(); }

void ReadBuffer::unmap() {
    if (mapping_ != nullptr) {
        ::munmap(mapping_, mapping_length_);
        mapping_ = nullptr;
        mapping_length_ = 0;
    }
}

bool ReadBuffer::refill(std::size_t& keep) {
    if (exhausted_) {
        return false;
    }
    if (mapped_ ? refill_mapped(keep) : refill_copied(keep)) {
        return true;
    }
    exhausted_ = true;
    return false;
}

bool ReadBuffer::refill() {
    std::size_t keep = pos_;
    return refill(keep);
}

bool ReadBuffer::refill_copied(std::size_t& keep) {
    const std::size_t kept = end_ - keep;
    if (kept > 0 && keep > 0) {
        std::memmove(buffer_.data(), buffer_.data() + keep, kept);
    }
    pos_ -= keep;
    keep = 0;
    end_ = kept;
    if (end_ == buffer_.size()) {
        buffer_.resize(buffer_.size() * 2);
        data_ = buffer_.data();
    }
    const std::size_t got = file_.read_some(buffer_.data() + end_, buffer_.size() - end_);
    end_ += got;
    return got > 0;
}

bool ReadBuffer::refill_mapped(std::size_t& keep) {
    const std::size_t window_end = window_offset_ + end_;
    if (window_end >= file_size_) {
        return false;
    }
    // The new window starts at the page holding the first kept byte: kept bytes are mapped
    // again rather than copied. It reaches a whole window beyond the old one, or the end.
    const auto page = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
    const std::size_t kept_offset = window_offset_ + keep;
    const std::size_t start = kept_offset - kept_offset % page;
    const std::size_t length = std::min(file_size_ - start, window_end - start + window_);
    unmap();
    void* const mapped = ::mmap(nullptr, length, PROT_READ, MAP_PRIVATE | MAP_POPULATE, file_.fd_,
                                static_cast<off_t>(start));
    if (mapped == MAP_FAILED) {
        data_ = nullptr;
        pos_ = end_ = keep = 0;
        return false;
    }
    mapping_ = static_cast<char*>(mapped);
    mapping_length_ = length;
    ::madvise(mapping_, length, MADV_SEQUENTIAL);
    const std::size_t shift = start - window_offset_;
    window_offset_ = start;
    data_ = mapping_;
    pos_ -= shift;
    keep -= shift;
    end_ = length;
    return true;
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
