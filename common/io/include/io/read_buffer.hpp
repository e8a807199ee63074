// The read window every reader scans: a mapped file, or a buffer filled from a byte source.
#pragma once

#include "io/byte_source.hpp"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

namespace io {

class MappingGuard;

// A window over a byte source. Readers scan [data()+pos(), data()+end()) directly and call
// refill() when they run out; bytes from `keep` on survive a refill, so a token or line that
// straddles two windows can still be seen whole.
//
// A plain regular file is mapped, not copied: the scan reads the page cache itself. The whole
// file is mapped at once (address space is cheap) but only about a window of it is kept resident:
// a helper thread fills in the page tables a couple of windows ahead of the reader, so that work
// runs on the other core while this one scans, and pages far behind the reader are dropped.
// Pipes, decoders and other unmappable sources are copied into a buffer.
class ReadBuffer {
public:
    enum class Access { mapped_when_possible, copied };
    static constexpr std::size_t default_size = std::size_t{4} << 20;

    explicit ReadBuffer(std::unique_ptr<ByteSource> source, std::size_t window = default_size,
                        Access access = Access::mapped_when_possible);
    explicit ReadBuffer(InputFile file, std::size_t window = default_size,
                        Access access = Access::mapped_when_possible);
    ReadBuffer(ReadBuffer&& other) noexcept;
    ReadBuffer& operator=(ReadBuffer&&) = delete;
    ReadBuffer(const ReadBuffer&) = delete;
    ReadBuffer& operator=(const ReadBuffer&) = delete;
    ~ReadBuffer();

    const char* data() const { return data_; }
    // Mapped: data() is the whole file and never moves, so offsets stay valid forever.
    bool mapped() const { return mapping_ != nullptr; }
    std::size_t mapped_size() const { return readable_size_; }
    std::size_t pos() const { return pos_; }
    std::size_t end() const { return end_; }
    void set_pos(std::size_t pos) { pos_ = pos; }

    // Mapped: reads on by copying, from pos() on (offsets then count from the window's start).
    // For a reader that walks the file in short steps, which on some machines costs more through
    // the mapping than copying the file costs.
    void copy_from_here();
    // Another reader of this buffer's file (a regular file read as it is), from file offset
    // `offset` on, mapped or copied as after copy_from_here(): for reading a part of the file on
    // another thread (its line_at() counts from there). None where the file cannot be opened
    // again.
    std::optional<ReadBuffer> reader_from(std::uint64_t offset, Access access) const;

    // The offset in the file of window offset `at`, for a file read as it is (mapped or copied),
    // so that a reader can note where something is and read it again later with pread.
    std::uint64_t file_offset(std::size_t at) const { return mapping_ != nullptr ? at : bytes_read_ - (end_ - at); }

    // Brings more of the file behind the unread bytes. Offsets `keep` and pos() stay valid for
    // the bytes they point at (they may move); the window grows when the kept bytes fill it.
    // False once the file has no more, or it could not be read (see error()).
    bool refill(std::size_t& keep);
    // The same, keeping nothing before pos().
    bool refill();

    // Why the input ended early, when it did: a read error rather than the end of the file.
    const std::optional<IoError>& error() const { return source_->error(); }

    // At least `wanted` bytes from pos() on where the input has them (fewer at its end), without
    // consuming them: for telling a file's form from its first lines.
    std::string_view peek(std::size_t wanted);

    // Passes over a UTF-8 byte order mark at the very start, as Windows editors write one.
    void skip_byte_order_mark();

    // True when the file was cut short by another process while it was being read: the bytes
    // read since may not be the file's. Readers that copy what they scan call settle() after each
    // scan: it ends the window where the file now ends, and is true when it moved that end (the
    // scan must then be redone).
    bool changed() const;
    // Why what was read may not be the file as it stands, once the reading has ended: changed
    // under the reader (first), or a read error; none where it was read whole.
    std::optional<IoError> read_failure() const;
    bool settle();
    const std::string& name() const;
    // The file read, where its bytes are the text (not decoded); else null.
    const InputFile* plain_file() const { return source_->plain_file(); }

    // The 1-based line of the byte at window offset `at` (cold: for error messages). A copied
    // window counts the line ends of the bytes it lets go only once asked to, as that costs a
    // pass over every byte.
    void count_lines() { counting_lines_ = true; }
    std::uint64_t line_at(std::size_t at) const;

private:
    struct Prefetcher;  // the helper thread and what it shares with the reader
    void end_where_the_file_ends();

    bool refill_copied(std::size_t& keep);
    bool refill_mapped(std::size_t keep);

    std::unique_ptr<ByteSource> source_;
    std::size_t window_;
    char* mapping_ = nullptr;  // mapped: the whole file
    std::size_t file_size_ = 0;
    std::size_t released_ = 0;       // mapped: pages before this offset have been dropped
    std::size_t readable_size_ = 0;  // mapped: file_size_, or less once the file shrank
    std::unique_ptr<MappingGuard> guard_;
    std::unique_ptr<Prefetcher> prefetcher_;
    std::vector<char> buffer_;         // copied
    std::uint64_t expected_size_ = 0;  // copied from a regular file: its size when opened
    std::uint64_t bytes_read_ = 0;
    std::uint64_t lines_before_buffer_ = 0;  // copied: line ends in the bytes already moved out
    bool counting_lines_ = false;
    const char* data_ = nullptr;
    std::size_t pos_ = 0;
    std::size_t end_ = 0;
    bool exhausted_ = false;
};

}  // namespace io
