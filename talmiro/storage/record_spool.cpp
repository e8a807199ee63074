#include "talmiro/storage/record_spool.hpp"

#include "io/io_error.hpp"
#include "text/quoting.hpp"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <utility>
#include <fcntl.h>
#include <unistd.h>

namespace talmiro {

namespace {

constexpr std::size_t pending_size = std::size_t{1} << 20;

// A file in `directory` that no name leads to.
int nameless_file(const std::string& directory) {
    const int fd = ::open(directory.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (fd >= 0 || (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL)) {
        return fd;
    }
    // File systems without O_TMPFILE: a named file, unlinked before anything is written to it.
    std::string name = directory + "/.talmiro-spool-XXXXXX";
    const int named = ::mkostemp(name.data(), O_CLOEXEC);
    if (named >= 0) {
        ::unlink(name.c_str());
    }
    return named;
}

}  // namespace

std::string temporary_folder() {
    const char* const folder = std::getenv("TMPDIR");
    return folder != nullptr && *folder != '\0' ? folder : "/tmp";
}

RecordSpool::RecordSpool(std::string directory, std::size_t budget)
    : directory_(std::move(directory)), budget_(budget) {}

RecordSpool::RecordSpool(RecordSpool&& other) noexcept
    : directory_(std::move(other.directory_)),
      budget_(other.budget_),
      size_(other.size_),
      memory_(std::move(other.memory_)),
      file_(std::exchange(other.file_, -1)),
      pending_(std::move(other.pending_)),
      written_(other.written_),
      reread_(std::move(other.reread_)) {}

RecordSpool::~RecordSpool() {
    if (file_ >= 0) {
        ::close(file_);
    }
}

void RecordSpool::append(std::string_view piece) {
    const std::size_t in_memory = file_ < 0 ? std::min(piece.size(), budget_ - memory_.size()) : 0;
    if (in_memory > 0) {
        if (memory_.capacity() == 0) {
            memory_.reserve(budget_);  // address space only: pages come as records fill them
        }
        memory_.insert(memory_.end(), piece.begin(), piece.begin() + static_cast<std::ptrdiff_t>(in_memory));
    }
    if (in_memory < piece.size()) {
        spill(piece.substr(in_memory));
    }
    size_ += piece.size();
}

void RecordSpool::spill(std::string_view piece) {
    if (file_ < 0) {
        file_ = nameless_file(directory_);
        if (file_ < 0) {
            fail(errno);
        }
        pending_.reserve(pending_size);
    }
    while (!piece.empty()) {
        const std::size_t room = pending_size - pending_.size();
        const std::size_t part = std::min(room, piece.size());
        pending_.insert(pending_.end(), piece.begin(), piece.begin() + static_cast<std::ptrdiff_t>(part));
        piece.remove_prefix(part);
        if (pending_.size() == pending_size) {
            flush_pending();
        }
    }
}

void RecordSpool::flush_pending() {
    std::size_t done = 0;
    while (done < pending_.size()) {
        const ssize_t wrote = ::write(file_, pending_.data() + done, pending_.size() - done);
        if (wrote < 0 && errno == EINTR) {
            continue;
        }
        if (wrote <= 0) {
            fail(wrote < 0 ? errno : ENOSPC);
        }
        done += static_cast<std::size_t>(wrote);
    }
    written_ += pending_.size();
    pending_.clear();
}

void RecordSpool::read(std::uint64_t offset, std::uint64_t length, const std::function<void(std::string_view)>& use) {
    if (offset < memory_.size()) {
        const std::uint64_t part = std::min<std::uint64_t>(length, memory_.size() - offset);
        use({memory_.data() + offset, static_cast<std::size_t>(part)});
        offset += part;
        length -= part;
    }
    if (length == 0) {
        return;
    }
    if (!pending_.empty()) {
        flush_pending();
    }
    // A megabyte at a time: records asked for in the order they were spooled (one name taking
    // a run of them) then cost one read per megabyte.
    if (!reread_.read(file_, offset - memory_.size(), length, FileRereader::most, use)) {
        fail(errno != 0 ? errno : EIO);
    }
}

void RecordSpool::fail(int error_number) const {
    throw io::RaisedError{io::RaisedError::Side::output, "cannot keep records in a temporary file in " +
                                                             text::file_label(directory_, true) + ": " +
                                                             std::strerror(error_number)};
}

}  // namespace talmiro
