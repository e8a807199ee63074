#include "console.hpp"

#include <cerrno>
#include <algorithm>
#include <atomic>
#include <cstdint>
#include <stop_token>
#include <thread>
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

// Fills in the page tables of the mapping ahead of the reader. Only a hint: the reader would
// fault the same pages in itself, so nothing it reads depends on this thread.
struct ReadBuffer::Prefetcher {
    Prefetcher(const char* base, std::size_t size, std::size_t lead)
        : base(base), size(size), lead(lead), thread([this](std::stop_token stop) { populate(stop); }) {}

    ~Prefetcher() {
        thread.request_stop();
        wanted_end.store(stopping);
        wanted_end.notify_all();
    }  // the thread is joined here, before the mapping goes

    // The reader has reached `reader_end`: keep `lead` bytes beyond it populated.
    void reader_reached(std::size_t reader_end) {
        wanted_end.store(std::min(size, reader_end + lead));
        wanted_end.notify_one();
    }

    void populate(std::stop_token stop) {
        constexpr std::size_t chunk = std::size_t{1} << 20;
        std::size_t populated = 0;
        while (!stop.stop_requested()) {
            const std::size_t wanted = wanted_end.load();
            // Seen here, the stop value can no longer change: waiting on it would never end.
            if (wanted == stopping) {
                return;
            }
            const std::size_t target = std::min(size, wanted);
            if (populated >= target) {
                wanted_end.wait(wanted);  // until the reader moves on, or the end
                continue;
            }
            // Nothing is gained behind the reader: start from where the lead begins.
            populated = std::max(populated, target > 2 * lead ? target - 2 * lead : 0);
            const std::size_t length = std::min(chunk, target - populated);
            prefault(populated, length);
            populated += length;
        }
    }

    void prefault(std::size_t offset, std::size_t length) const {
        const auto page = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
        const std::size_t first = offset - offset % page;
        if (::madvise(const_cast<char*>(base) + first, offset + length - first, MADV_POPULATE_READ) != 0) {
            // Kernels before 5.14: touching a byte of each page does the same.
            for (std::size_t at = first; at < offset + length; at += page) {
                static_cast<void>(*static_cast<const volatile char*>(base + at));
            }
        }
    }

    static constexpr std::size_t stopping = SIZE_MAX;  // wanted_end's value once the reader is done
    const char* const base;
    const std::size_t size;
    const std::size_t lead;
    std::atomic<std::size_t> wanted_end{0};
    std::jthread thread;  // last: started after the fields it reads, stopped first
};

ReadBuffer::ReadBuffer(InputFile file, std::size_t window, Access access)
    : file_(std::move(file)), window_(window == 0 ? 1 : window) {
    struct stat info {};
    if (access == Access::mapped_when_possible && ::fstat(file_.fd_, &info) == 0 && S_ISREG(info.st_mode) &&
        info.st_size > 0) {
        const auto size = static_cast<std::size_t>(info.st_size);
        void* const mapped = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE, file_.fd_, 0);
        if (mapped != MAP_FAILED) {
            mapping_ = static_cast<char*>(mapped);
            file_size_ = size;
            data_ = mapping_;
            ::madvise(mapping_, size, MADV_SEQUENTIAL);
            prefetcher_ = std::make_unique<Prefetcher>(mapping_, size, 2 * std::max(window_, default_size));
            return;
        }
    }
    buffer_.resize(window_);
    data_ = buffer_.data();
}

ReadBuffer::ReadBuffer(ReadBuffer&& other) noexcept
    : file_(std::move(other.file_)),
      window_(other.window_),
      mapping_(std::exchange(other.mapping_, nullptr)),
      file_size_(other.file_size_),
      released_(other.released_),
      prefetcher_(std::move(other.prefetcher_)),
      buffer_(std::move(other.buffer_)),
      data_(mapping_ != nullptr ? mapping_ : buffer_.data()),
      pos_(other.pos_),
      end_(other.end_),
      exhausted_(other.exhausted_) {}

ReadBuffer::~ReadBuffer() {
    prefetcher_.reset();  // the helper must be done with the mapping before it goes
    if (mapping_ != nullptr) {
        ::munmap(mapping_, file_size_);
    }
}

bool ReadBuffer::refill(std::size_t& keep) {
    if (exhausted_) {
        return false;
    }
    if (mapping_ != nullptr ? refill_mapped(keep) : refill_copied(keep)) {
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

bool ReadBuffer::refill_mapped(std::size_t keep) {
    if (end_ >= file_size_) {
        return false;
    }
    // The whole file is mapped: the window just reaches further, and kept bytes stay put.
    end_ = std::min(file_size_, end_ + window_);
    prefetcher_->reader_reached(end_);
    // Pages well behind everything still wanted are dropped from this process (the page cache
    // keeps them), so the resident set stays near a few windows whatever the file's size.
    const auto page = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
    const std::size_t oldest_wanted = std::min(keep, pos_);
    const std::size_t slack = 2 * std::max(window_, default_size);
    if (oldest_wanted > released_ + 2 * slack) {
        const std::size_t until = (oldest_wanted - slack) / page * page;
        ::madvise(mapping_ + released_, until - released_, MADV_DONTNEED);
        released_ = until;
    }
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
