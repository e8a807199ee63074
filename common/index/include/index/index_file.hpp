// An index file as both programs write and read it: the header (index_header.hpp), the body
// (the program's tables), then a checksum of each 4 KB block of the body. A run checks the
// header when it opens the file and each block before it first reads from it, so that a
// damaged index is found before it can mislead, while a lookup still reads only the few blocks
// it needs.
#pragma once

#include "index/index_header.hpp"
#include "index/trust.hpp"
#include "io/mapped_file.hpp"
#include "io/output_file.hpp"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace indexing {

inline constexpr std::size_t checked_block_size = 4096;

// Writes one index file to `output`: the header at once, then the body as it is handed on.
class IndexWriter {
public:
    IndexWriter(io::OutputFile& output, const IndexKind& kind, const IndexHeader& header);
    void write(std::string_view body);
    // Ends the body (as long as the header said: anything else is this program's fault) with its
    // blocks' checksums.
    void finish();

private:
    void sum_block(std::string_view block);

    io::OutputFile& output_;
    std::uint64_t body_size_;
    std::uint64_t written_ = 0;
    std::string block_;  // the block being filled
    std::string sums_;
};

// An index file of ours, mapped and checked as it is read. Each failure is an Untrusted naming
// the file, so that the run reads the indexed file whole.
class IndexFile {
public:
    // Never opens anything but a regular file (a FIFO would hang the run, a device feed it
    // without end); checks the header and that the file is as long as the header says.
    static IndexFile open(const std::string& path, const IndexKind& kind);

    const std::string& path() const { return path_; }
    const IndexHeader& header() const { return header_; }
    // The body, as mapped: read only what check() passed.
    std::string_view body() const { return body_; }
    // Throws where a block holding any of body()[offset, offset + length) fails its checksum,
    // or where the range lies outside the body.
    void check(std::uint64_t offset, std::uint64_t length) const;
    // The same for bytes given by where they lie in the mapping.
    void check_bytes(const void* start, std::size_t length) const;
    void check_all() const { check(0, body_.size()); }

    // Writes `header` (a new stamp) over the file's header, in place: false with `why_not` where
    // the file cannot be written, which leaves it as it was.
    bool rewrite_header(const IndexHeader& header, std::string& why_not) const;

private:
    IndexFile(io::MappedFile file, std::string path, const IndexKind& kind, IndexHeader header);

    io::MappedFile file_;
    std::string path_;
    IndexKind kind_;
    IndexHeader header_;
    std::string_view body_;
    std::string_view sums_;
    std::uint64_t inode_ = 0;
    mutable std::vector<bool> checked_;
};

}  // namespace indexing
