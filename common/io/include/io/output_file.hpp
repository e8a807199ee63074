// Files opened for writing: in place (the dialogue) or replacing their target once written
// (batch mode), plain or compressed as named.
#pragma once

#include "io/compression.hpp"
#include "io/io_error.hpp"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace codecs {
class Encoder;
}

namespace io {

class TempFiles;
class InputFile;

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
    [[nodiscard]] static std::optional<OutputFile> create(const std::string& name,
                                                          std::optional<IoError>* error = nullptr);
    // `temps` removes the temporary file should the process be interrupted. A target that is a
    // device, pipe or terminal is written directly, as the user named it.
    [[nodiscard]] static std::optional<OutputFile> replace(const std::string& target, TempFiles& temps,
                                                           std::optional<IoError>* error = nullptr);
    // The same for a file the program names itself (an index beside its input): only ever a
    // regular file, so a FIFO, device or folder standing at that name is refused, never written
    // to (a FIFO would hold the run until some reader came).
    [[nodiscard]] static std::optional<OutputFile> replace_regular(const std::string& target, TempFiles& temps,
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
    // Whether the bytes go to a temporary file that replaces the target only at a successful
    // close: a run that fails once it has begun writing then leaves nothing behind.
    bool replaces_target() const { return !temporary_.empty(); }

    // From now on, compresses what is written as `choice` says (none: as it is).
    void compress(const CompressionChoice& choice);
    // Compresses with `encoder` (tests hand in one that fails).
    void compress_with(std::unique_ptr<codecs::Encoder> encoder);

    void write(std::string_view text);
    void put(char c);
    void flush();

    // Writes `length` bytes of the file open as `descriptor` from `offset` on, copied by the
    // kernel (copy_file_range) where both ends are files it copies between and nothing is
    // compressed: no byte passes through this process. Returns how many it copied; the caller
    // writes the rest. After the kernel refuses once, it is not asked again.
    std::size_t copy_from(int descriptor, std::uint64_t offset, std::size_t length);
    // Whether copy_from() may still copy anything.
    bool copies_in_kernel() const { return !encoder_ && kernel_copies_ && !error_ && fd_ >= 0; }

    // Flushes and closes (and replaces the target); false when any byte could not be written,
    // the close failed or the target could not be replaced.
    bool close();
    // close() in two halves, so that several outputs replace their targets only once all of
    // them are written: flushing and closing, then the replacing.
    bool finish();
    bool commit();
    const std::optional<IoError>& error() const { return error_; }
    const std::string& name() const { return name_; }

    // True when both reach the same regular file, pipe, FIFO or device, whatever names led to
    // it: two outputs there would be interleaved. Only /dev/null may take both.
    bool same_file_as(const OutputFile& other) const;
    // True when this writes in place into the very file `input` reads: emptying it would take
    // the input's bytes away.
    bool writes_over(const InputFile& input) const;

private:
    OutputFile(int fd, std::string name);
    void write_through(const char* data, std::size_t size);
    void write_raw(const char* data, std::size_t size);
    void fail(IoError::Action action, int error_number);
    void fail_compressing();
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
    std::unique_ptr<codecs::Encoder> encoder_;
    bool empty_when_writing_begins_ = false;  // opened in place by create(); never standard output
    bool kernel_copies_ = true;               // copy_file_range not yet refused
};

}  // namespace io
