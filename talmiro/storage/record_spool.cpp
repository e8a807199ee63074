#include "talmiro/storage/record_spool.hpp"

#include "io/file_system.hpp"
#include "io/io_error.hpp"
#include "text/quoting.hpp"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <utility>

namespace talmiro {

namespace {

constexpr std::size_t pending_size = std::size_t{1} << 20;

}  // namespace

std::string temporary_folder() {
    const char* const folder = std::getenv("TMPDIR");
    return folder != nullptr && *folder != '\0' ? folder : "/tmp";
}

RecordSpool::RecordSpool(std::string directory, std::size_t budget)
    : directory_(std::move(directory)), budget_(budget) {}

void RecordSpool::append(std::string_view piece) {
    const std::size_t in_memory = !file_.valid() ? std::min(piece.size(), budget_ - memory_.size()) : 0;
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
    if (!file_.valid()) {
        file_ = io::nameless_file(directory_, ".talmiro-spool-");
        if (!file_.valid()) {
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
    if (!io::write_all(file_.get(), {pending_.data(), pending_.size()})) {
        fail(errno);
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
    if (!reread_.read(file_.get(), offset - memory_.size(), length, FileRereader::most, use)) {
        fail(errno != 0 ? errno : EIO);
    }
}

void RecordSpool::fail(int error_number) const {
    throw io::RaisedError{io::RaisedError::Side::output, "cannot keep records in a temporary file in " +
                                                             text::file_label(directory_, true) + ": " +
                                                             std::strerror(error_number)};
}

}  // namespace talmiro
