#include "index/index_file.hpp"

#include "index/checksum.hpp"
#include "io/file_system.hpp"
#include "text/quoting.hpp"

#include <stdexcept>

namespace indexing {

namespace {

std::uint64_t blocks_in(std::uint64_t size) { return (size + checked_block_size - 1) / checked_block_size; }

Untrusted damaged(const std::string& path, const std::string& where) {
    return cannot_be_used(path, "it is damaged (" + where + ")");
}

}  // namespace

IndexWriter::IndexWriter(io::OutputFile& output, const IndexKind& kind, const IndexHeader& header)
    : output_(output), body_size_(header.body_size) {
    output_.write(header_bytes(kind, header));
    block_.reserve(checked_block_size);
}

void IndexWriter::write(std::string_view body) {
    written_ += body.size();
    output_.write(body);
    while (!body.empty()) {
        const std::size_t taken = std::min(body.size(), checked_block_size - block_.size());
        if (block_.empty() && taken == checked_block_size) {
            sum_block(body.substr(0, taken));
        } else {
            block_.append(body.substr(0, taken));
            if (block_.size() == checked_block_size) {
                sum_block(block_);
                block_.clear();
            }
        }
        body.remove_prefix(taken);
    }
}

void IndexWriter::sum_block(std::string_view block) { ByteWriter(sums_).put(checksum(block)); }

void IndexWriter::finish() {
    if (written_ != body_size_) {
        throw std::logic_error("an index body is not as long as its header says");
    }
    if (!block_.empty()) {
        sum_block(block_);
        block_.clear();
    }
    output_.write(sums_);
}

IndexFile::IndexFile(io::MappedFile file, std::string path, const IndexKind& kind, IndexHeader header)
    : file_(std::move(file)), path_(std::move(path)), kind_(kind), header_(std::move(header)) {
    const std::string_view bytes = file_.bytes();
    const std::size_t body_at = header_size(kind_);
    body_ = bytes.substr(body_at, static_cast<std::size_t>(header_.body_size));
    sums_ = bytes.substr(body_at + body_.size());
    checked_.assign(static_cast<std::size_t>(blocks_in(body_.size())), false);
}

IndexFile IndexFile::open(const std::string& path, const IndexKind& kind) {
    require_regular(path);
    std::optional<io::IoError> error;
    std::optional<io::MappedFile> file = io::MappedFile::open(path, error, io::MappedFile::Use::lookups);
    if (!file) {
        throw Untrusted{error->describe()};
    }
    const std::string_view bytes = file->bytes();
    HeaderFault fault = HeaderFault::damaged;
    std::string why_not;
    std::optional<IndexHeader> header = read_header(bytes, kind, fault, why_not);
    if (!header) {
        if (fault == HeaderFault::version) {
            why_not += ": " + std::string(kind.program) + " --index makes a new one";
        }
        throw cannot_be_used(path, why_not);
    }
    const std::uint64_t room = bytes.size() - header_size(kind);
    if (header->body_size > room || room - header->body_size != 8 * blocks_in(header->body_size)) {
        throw damaged(path, "its size is not what its header says");
    }
    const std::optional<io::FileStamp> stamp = io::stamp_of(path);
    IndexFile opened(std::move(*file), path, kind, std::move(*header));
    opened.inode_ = stamp ? stamp->inode : 0;
    return opened;
}

void IndexFile::check(std::uint64_t offset, std::uint64_t length) const {
    if (offset > body_.size() || length > body_.size() - offset) {
        throw damaged(path_, "it points past its own end");
    }
    if (length == 0) {
        return;
    }
    for (std::uint64_t block = offset / checked_block_size; block <= (offset + length - 1) / checked_block_size;
         ++block) {
        const auto at = static_cast<std::size_t>(block);
        if (checked_[at]) {
            continue;
        }
        const std::string_view bytes = body_.substr(at * checked_block_size, checked_block_size);
        ByteReader stored(sums_.substr(at * 8, 8));
        if (stored.take<std::uint64_t>() != checksum(bytes)) {
            throw damaged(path_, "block " + std::to_string(block) + " of its tables");
        }
        checked_[at] = true;
    }
}

void IndexFile::check_bytes(const void* start, std::size_t length) const {
    const auto* byte = static_cast<const char*>(start);
    if (byte < body_.data() || byte > body_.data() + body_.size()) {
        throw damaged(path_, "it points past its own end");
    }
    check(static_cast<std::uint64_t>(byte - body_.data()), length);
}

bool IndexFile::rewrite_header(const IndexHeader& header, std::string& why_not) const {
    std::optional<io::IoError> error;
    const io::FileDescriptor file = io::open_regular_to_update(path_, inode_, error);
    if (!file.valid()) {
        why_not = error->describe();
        return false;
    }
    if (!io::write_at(file.get(), 0, header_bytes(kind_, header))) {
        why_not = io::IoError{io::IoError::Action::write, path_, errno, {}}.describe();
        return false;
    }
    return true;
}

}  // namespace indexing
