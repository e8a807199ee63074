#include "io/read_buffer.hpp"

#include "read_ahead.hpp"

#include "mapping_guard.hpp"
#include "text/line_breaks.hpp"
#include "threads/helper.hpp"
#include "threads/moving_mark.hpp"

#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <string_view>
#include <utility>

namespace io {

// Fills in the page tables of the mapping ahead of the reader. Only a hint: the reader would
// fault the same pages in itself, so nothing it reads depends on this thread.
struct ReadBuffer::Prefetcher {
    Prefetcher(const char* mapping, std::size_t mapped_size, std::size_t ahead)
        : base(mapping),
          size(mapped_size),
          lead(ahead),
          helper([this](const std::stop_token& stop) { populate(stop); }, [this] { wanted_end.stop(); }) {}
    // The helper is stopped and joined first, before the mapping goes.

    // The reader has reached `reader_end`: keep `lead` bytes beyond it populated.
    void reader_reached(std::size_t reader_end) { wanted_end.move_to(std::min(size, reader_end + lead)); }

    void populate(const std::stop_token& stop) {
        constexpr std::size_t chunk = std::size_t{1} << 20;
        std::size_t populated = 0;
        while (!stop.stop_requested()) {
            const std::size_t wanted = wanted_end.load();
            if (wanted == threads::MovingMark::stopped) {
                return;
            }
            const std::size_t target = std::min(size, wanted);
            if (populated >= target) {
                wanted_end.wait_past(wanted);  // until the reader moves on, or the end
                continue;
            }
            // Nothing is gained behind the reader: start from where the lead begins.
            populated = std::max(populated, target > 2 * lead ? target - 2 * lead : 0);
            const std::size_t length = std::min(chunk, target - populated);
            if (!prefault(populated, length)) {
                return;
            }
            populated += length;
        }
    }

    // False when populating must stop: the file no longer has these pages.
    bool prefault(std::size_t offset, std::size_t length) {
        const auto page = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
        const std::size_t first = offset - offset % page;
        if (populate_supported &&
            ::madvise(const_cast<char*>(base) + first, offset + length - first, MADV_POPULATE_READ) == 0) {
            return true;
        }
        // Only a kernel that does not know the advice (before 5.14) gets pages touched by hand.
        // Any other failure (EFAULT: the file shrank under the mapping) would turn into SIGBUS
        // in this thread if touched, so the helper simply stops.
        if (populate_supported && errno != EINVAL) {
            return false;
        }
        populate_supported = false;
        for (std::size_t at = first; at < offset + length; at += page) {
            static_cast<void>(*static_cast<const volatile char*>(base + at));
        }
        return true;
    }

    const char* const base;
    const std::size_t size;
    const std::size_t lead;
    bool populate_supported = true;  // the helper thread's own
    threads::MovingMark wanted_end;  // where the reader wants pages to reach
    threads::Helper helper;          // last: started after the fields it reads, stopped first
};

ReadBuffer::ReadBuffer(InputFile file, std::size_t window, Access access)
    : ReadBuffer(open_source(std::move(file)), window, access) {}

ReadBuffer::ReadBuffer(std::unique_ptr<ByteSource> source, std::size_t window, Access access)
    : source_(std::move(source)), window_(window == 0 ? 1 : window) {
    const InputFile* const plain = source_->plain_file();
    struct stat info {};
    if (access == Access::mapped_when_possible && plain != nullptr && ::fstat(plain->descriptor(), &info) == 0 &&
        S_ISREG(info.st_mode) && info.st_size > 0) {
        const auto size = static_cast<std::size_t>(info.st_size);
        void* const mapped = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE, plain->descriptor(), 0);
        auto guard = mapped != MAP_FAILED ? std::make_unique<MappingGuard>(static_cast<char*>(mapped), size) : nullptr;
        if (guard && !guard->guarding()) {
            // A file cut short under an unguarded mapping would end the process: copy instead.
            guard.reset();
            ::munmap(mapped, size);
        } else if (guard) {
            mapping_ = static_cast<char*>(mapped);
            file_size_ = size;
            readable_size_ = size;
            guard_ = std::move(guard);
            data_ = mapping_;
            ::madvise(mapping_, size, MADV_SEQUENTIAL);
            // Only a hint: where no thread can be had, the reader faults the pages in itself.
            prefetcher_ = std::make_unique<Prefetcher>(mapping_, size, 2 * std::max(window_, default_size));
            return;
        }
    }
    if (plain != nullptr && ::fstat(plain->descriptor(), &info) == 0 && S_ISREG(info.st_mode)) {
        expected_size_ = static_cast<std::uint64_t>(info.st_size);
    }
    buffer_.resize(window_);
    data_ = buffer_.data();
}

ReadBuffer::ReadBuffer(ReadBuffer&& other) noexcept
    : source_(std::move(other.source_)),
      window_(other.window_),
      mapping_(std::exchange(other.mapping_, nullptr)),
      file_size_(other.file_size_),
      released_(other.released_),
      readable_size_(other.readable_size_),
      guard_(std::move(other.guard_)),
      prefetcher_(std::move(other.prefetcher_)),
      buffer_(std::move(other.buffer_)),
      expected_size_(other.expected_size_),
      bytes_read_(other.bytes_read_),
      lines_before_buffer_(other.lines_before_buffer_),
      counting_lines_(other.counting_lines_),
      data_(mapping_ != nullptr ? mapping_ : buffer_.data()),
      pos_(other.pos_),
      end_(other.end_),
      exhausted_(other.exhausted_) {}

ReadBuffer::~ReadBuffer() {
    prefetcher_.reset();  // the helper must be done with the mapping before it goes
    guard_.reset();
    if (mapping_ != nullptr) {
        ::munmap(mapping_, file_size_);
    }
}

const std::string& ReadBuffer::name() const { return source_->name(); }

std::uint64_t ReadBuffer::line_at(std::size_t at) const {
    const char* const begin = data_;
    const std::uint64_t before = mapping_ != nullptr ? 0 : lines_before_buffer_;
    return before + text::count_line_breaks({begin, std::min(at, end_)}) + 1;
}

std::string_view ReadBuffer::peek(std::size_t wanted) {
    std::size_t keep = pos_;
    while (end_ - pos_ < wanted && refill(keep)) {
    }
    return {data_ + pos_, end_ - pos_};
}

void ReadBuffer::skip_byte_order_mark() {
    constexpr std::string_view mark = "\xEF\xBB\xBF";
    std::size_t keep = pos_;
    while (end_ - pos_ < mark.size() && refill(keep)) {
    }
    if (std::string_view(data_ + pos_, std::min(end_ - pos_, mark.size())) == mark) {
        pos_ += mark.size();
    }
}

bool ReadBuffer::changed() const {
    // Cut short or appended to: either way what was read is not the file as it now stands.
    struct stat info {};
    const InputFile* const plain = source_->plain_file();
    if (mapping_ == nullptr) {
        return exhausted_ && expected_size_ > 0 &&
               (bytes_read_ != expected_size_ || (::fstat(plain->descriptor(), &info) == 0 &&
                                                  static_cast<std::uint64_t>(info.st_size) != expected_size_));
    }
    return (guard_ && guard_->faulted()) ||
           (::fstat(plain->descriptor(), &info) == 0 && static_cast<std::size_t>(info.st_size) != file_size_);
}

std::optional<IoError> ReadBuffer::read_failure() const {
    if (changed()) {
        return IoError::changed_while_read(name());
    }
    return error();
}

bool ReadBuffer::settle() {
    if (!guard_ || !guard_->faulted() || readable_size_ < file_size_) {
        return false;
    }
    end_where_the_file_ends();
    return true;
}

void ReadBuffer::end_where_the_file_ends() {
    // What lies past the file's new end reads as zeros: no byte of it is the file's.
    struct stat info {};
    const InputFile* const plain = source_->plain_file();
    const std::size_t now = ::fstat(plain->descriptor(), &info) == 0 ? static_cast<std::size_t>(info.st_size) : 0;
    readable_size_ = std::min(now, file_size_ - 1);  // below file_size_: settled once
    end_ = std::max(pos_, std::min(end_, readable_size_));
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

void ReadBuffer::copy_from_here() {
    if (mapping_ == nullptr) {
        return;
    }
    const InputFile* const plain = source_->plain_file();
    if (::lseek(plain->descriptor(), static_cast<off_t>(pos_), SEEK_SET) < 0) {
        return;  // the mapping serves as well
    }
    if (counting_lines_) {
        lines_before_buffer_ = text::count_line_breaks({mapping_, pos_});
    }
    prefetcher_.reset();
    guard_.reset();
    ::munmap(mapping_, file_size_);
    mapping_ = nullptr;
    // The copying goes to a helper, as decoding does, so the scan runs beside it.
    source_ = read_ahead(std::move(source_));
    expected_size_ = file_size_;
    bytes_read_ = pos_;
    buffer_.resize(window_);
    data_ = buffer_.data();
    pos_ = 0;
    end_ = 0;
    exhausted_ = false;
}

std::optional<ReadBuffer> ReadBuffer::reader_from(std::uint64_t offset, Access access) const {
    const InputFile* const plain = source_->plain_file();
    std::optional<InputFile> again = plain != nullptr ? plain->open_again() : std::nullopt;
    if (!again || ::lseek(again->descriptor(), static_cast<off_t>(offset), SEEK_SET) < 0) {
        return std::nullopt;
    }
    std::optional<ReadBuffer> other(std::in_place, std::move(*again), window_, access);
    if (other->mapped()) {
        if (offset > other->file_size_) {
            return std::nullopt;
        }
        other->pos_ = other->end_ = static_cast<std::size_t>(offset);
        other->released_ = other->pos_ / static_cast<std::size_t>(::sysconf(_SC_PAGESIZE)) *
                           static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));  // nothing before it is read
        return other;
    }
    other->source_ = read_ahead(std::move(other->source_));
    other->bytes_read_ = offset;
    return other;
}

bool ReadBuffer::refill() {
    std::size_t keep = pos_;
    return refill(keep);
}

bool ReadBuffer::refill_copied(std::size_t& keep) {
    const std::size_t kept = end_ - keep;
    if (counting_lines_) {
        lines_before_buffer_ += text::count_line_breaks({buffer_.data(), keep});
    }
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
    const std::size_t got = source_->read(buffer_.data() + end_, buffer_.size() - end_);
    end_ += got;
    bytes_read_ += got;
    return got > 0;
}

bool ReadBuffer::refill_mapped(std::size_t keep) {
    settle();
    if (end_ >= readable_size_) {
        return false;
    }
    // The whole file is mapped: the window just reaches further, and kept bytes stay put.
    end_ = std::min(readable_size_, end_ + window_);
    if (prefetcher_) {
        prefetcher_->reader_reached(end_);
    }
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

}  // namespace io
