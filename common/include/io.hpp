// The input and output layer both programs read and write through: files opened by name, the
// byte sources a reader draws from, the read window over them, and buffered output files.
//
// Failures are kept, not thrown: each object remembers its first error (which file, where, and
// the system's reason), readers see it as the end of the input, and the run decides what to say.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace io {

// A name as messages show it: in single quotes, with control characters, quotes and bytes that
// are no UTF-8 escaped, so that a trailing tab or a stray byte can be seen.
std::string quoted(std::string_view name);
// A file as messages name it: quoted, or "standard input" / "standard output" for "-".
std::string file_label(std::string_view path, bool output);

// The first thing that went wrong with one file.
struct IoError {
    enum class Action { open, read, create, write };
    Action action;
    std::string path;
    int error_number;  // errno, or 0 when `reason` says what was wrong
    std::string reason;

    // "cannot open 'x.txt': No such file or directory"
    std::string describe() const;
    // "'x.txt': reason" for a file whose bytes were at fault rather than the system.
    static IoError bad_content(const std::string& path, std::string reason);
};

// A file opened for reading. Directories are refused at open, as they cannot be read.
class InputFile {
public:
    // On failure `error` (when given) says why.
    static std::optional<InputFile> open(const std::string& name, std::optional<IoError>* error = nullptr);
    // Standard input, named "-".
    static InputFile standard_input();

    InputFile(InputFile&& other) noexcept;
    InputFile& operator=(InputFile&& other) noexcept;
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;
    ~InputFile();

    const std::string& name() const { return name_; }
    int descriptor() const { return fd_; }

    // Up to `size` bytes; 0 at the end of the file or after an error, which error() keeps.
    std::size_t read_some(char* into, std::size_t size);
    const std::optional<IoError>& error() const { return error_; }

private:
    InputFile(int fd, std::string name) : fd_(fd), name_(std::move(name)) {}
    int fd_ = -1;
    std::string name_;
    std::optional<IoError> error_;
};

// Where a reader's bytes come from. A file stored as is reads straight from the file (and can be
// mapped); a compressed file will read through its decoder, chosen by the file's first bytes.
class ByteSource {
public:
    virtual ~ByteSource() = default;
    // Up to `size` bytes; 0 at the end, or after an error that error() then keeps.
    virtual std::size_t read(char* into, std::size_t size) = 0;
    virtual const std::optional<IoError>& error() const = 0;
    // The file itself when its bytes are the text (so it may be mapped), else null.
    virtual const InputFile* plain_file() const = 0;
    // The file's name, for messages.
    virtual const std::string& name() const = 0;
};

// The source for an opened file, recognised by its first bytes.
std::unique_ptr<ByteSource> open_source(InputFile file);

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

    // Brings more of the file behind the unread bytes. Offsets `keep` and pos() stay valid for
    // the bytes they point at (they may move); the window grows when the kept bytes fill it.
    // False once the file has no more, or it could not be read (see error()).
    bool refill(std::size_t& keep);
    // The same, keeping nothing before pos().
    bool refill();

    // Why the input ended early, when it did: a read error rather than the end of the file.
    const std::optional<IoError>& error() const { return source_->error(); }

    // At least `wanted` bytes from pos() on where the input has them (fewer at its end), without
    // consuming them: for telling a file's layout from its first lines.
    std::string_view peek(std::size_t wanted);

    // Passes over a UTF-8 byte order mark at the very start, as Windows editors write one.
    void skip_byte_order_mark();

    // True when the file was cut short by another process while it was being read: the bytes
    // read since may not be the file's. Readers that copy what they scan call settle() after each
    // scan: it ends the window where the file now ends, and is true when it moved that end (the
    // scan must then be redone).
    bool changed() const;
    bool settle();
    const std::string& name() const;

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
    std::size_t released_ = 0;  // mapped: pages before this offset have been dropped
    std::size_t readable_size_ = 0;  // mapped: file_size_, or less once the file shrank
    std::unique_ptr<MappingGuard> guard_;
    std::unique_ptr<Prefetcher> prefetcher_;
    std::vector<char> buffer_;  // copied
    std::uint64_t expected_size_ = 0;  // copied from a regular file: its size when opened
    std::uint64_t bytes_read_ = 0;
    std::uint64_t lines_before_buffer_ = 0;  // copied: line ends in the bytes already moved out
    bool counting_lines_ = false;
    const char* data_ = nullptr;
    std::size_t pos_ = 0;
    std::size_t end_ = 0;
    bool exhausted_ = false;
};

class TempFiles;
class Encoder;

// A file opened for writing, with its own buffer. Write errors are remembered rather than thrown,
// so the run finishes its meter and reports them once at close.
//
// Two ways to write a file. In place (the dialogue): opening creates a missing file but empties
// nothing, as a later step may still stop the run; begin_writing() empties it once every output
// step has passed. Replacing (batch mode): the bytes go to a temporary file beside the target,
// renamed over it only by a close after everything was written, so a failed or interrupted run
// leaves the target as it was. Targets that are not regular files (a device, a pipe) are always
// written in place.
class OutputFile {
public:
    static std::optional<OutputFile> create(const std::string& name, std::optional<IoError>* error = nullptr);
    // `temps` removes the temporary file should the process be interrupted.
    static std::optional<OutputFile> replace(const std::string& target, TempFiles& temps,
                                             std::optional<IoError>* error = nullptr);
    // Standard output, named "-".
    static OutputFile standard_output();

    OutputFile(OutputFile&& other) noexcept;
    OutputFile& operator=(OutputFile&& other) noexcept;
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;
    // Without a successful close, a replacing file leaves the target untouched.
    ~OutputFile();

    // Empties a file opened in place by create(); nothing to do for any other.
    void begin_writing();

    // From now on, compresses what is written when the name ends in ".gz" (gzip) or ".zst"
    // (zstd); any other name is written as it is.
    void compress_as_named();

    void write(std::string_view text);
    void put(char c);
    void flush();

    // Flushes and closes (and replaces the target); false when any byte could not be written,
    // the close failed or the target could not be replaced.
    bool close();
    // close() in two halves, so that several outputs replace their targets only once all of
    // them are written: flushing and closing, then the replacing.
    bool finish();
    bool commit();
    const std::optional<IoError>& error() const { return error_; }
    const std::string& name() const { return name_; }

    // True when both reach the same regular file, whatever names led to it: two outputs there
    // would corrupt each other. Devices such as /dev/null may take both.
    bool same_file_as(const OutputFile& other) const;

private:
    OutputFile(int fd, std::string name);
    void write_through(const char* data, std::size_t size);
    void write_raw(const char* data, std::size_t size);
    void fail(IoError::Action action, int error_number);
    bool identity(std::uint64_t& device, std::uint64_t& inode) const;
    void release();
    void discard_temporary();

    int fd_ = -1;
    std::string name_;
    std::optional<IoError> error_;
    std::vector<char> buffer_;
    std::size_t used_ = 0;
    std::string temporary_;  // replacing: the file written, renamed to target_ at close
    std::string target_;
    TempFiles* temps_ = nullptr;
    std::unique_ptr<Encoder> encoder_;
    bool empty_when_writing_begins_ = false;  // opened in place by create(); never standard output
};

// The temporary files of outputs being written. While it lives, SIGINT, SIGTERM and SIGHUP are
// caught by a helper thread, which removes every file still listed and then lets the signal
// end the process as it would have. Create it before any other thread starts, so that all of
// them leave these signals to the helper.
class TempFiles {
public:
    TempFiles();
    ~TempFiles();
    TempFiles(const TempFiles&) = delete;
    TempFiles& operator=(const TempFiles&) = delete;

    // Creates and lists a new file from `path_template` (ending in XXXXXX, replaced by the
    // name made); the descriptor, or -1 with errno set. Created and listed in one step, so an
    // interrupt never leaves a file that was not listed.
    int create(std::string& path_template);
    void remove(const std::string& path);

private:
    struct Watcher;
    std::unique_ptr<Watcher> watcher_;
};

}  // namespace io
