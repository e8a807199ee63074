// Private to the I/O layer: the compressed forms an input may take and an output may be written
// in, and the sources and encoders for them.
#pragma once

#include "io.hpp"

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace io {

enum class Compression { none, gzip, zstd };

// Recognised by the first bytes, never by the name: gzip (and BGZF, which is gzip) 1f 8b,
// zstd 28 b5 2f fd.
Compression compression_of(std::string_view first_bytes);

// What the decoders share: the compressed file, read a block at a time (after the bytes taken to
// recognise it), and the first failure, which ends the decoded bytes.
class CompressedSource : public ByteSource {
public:
    const std::optional<IoError>& error() const override { return error_ ? error_ : file_.error(); }
    const InputFile* plain_file() const override { return nullptr; }
    const std::string& name() const override { return file_.name(); }

protected:
    CompressedSource(InputFile file, std::string already_read, std::string_view format)
        : file_(std::move(file)), input_(already_read.begin(), already_read.end()), format_(format) {}

    // The next block of the file into input(); 0 at its end or after a read error.
    std::size_t fill_input(std::size_t block) {
        input_.resize(block);
        const std::size_t got = file_.read_some(reinterpret_cast<char*>(input_.data()), input_.size());
        input_.resize(got);
        file_ended_ = got == 0;
        done_ = done_ || file_.error().has_value();
        return got;
    }
    void fail() {
        error_ = IoError::bad_content(file_.name(), "corrupt or truncated " + std::string(format_) + " data");
        done_ = true;
    }
    std::vector<std::uint8_t>& input() { return input_; }
    bool file_ended() const { return file_ended_; }
    bool done() const { return done_; }
    void end() { done_ = true; }

private:
    InputFile file_;
    std::vector<std::uint8_t> input_;
    std::string_view format_;
    bool file_ended_ = false;
    bool done_ = false;
    std::optional<IoError> error_;
};

// Decoders over a file whose first bytes (`already_read`, for a pipe that cannot be read twice)
// were taken to recognise it. Every member or frame is read in turn; damaged or cut data ends the
// bytes with error() saying so.
std::unique_ptr<ByteSource> gzip_source(InputFile file, std::string already_read);
std::unique_ptr<ByteSource> zstd_source(InputFile file, std::string already_read);

// A BGZF file, recognised by its first member's header, is inflated on two helper threads at
// once, its members being independent (a regular file only: it is read from its start).
bool is_bgzf(std::string_view first_bytes);
std::unique_ptr<ByteSource> bgzf_source(InputFile file);

// Runs `inner` on a helper thread a few blocks ahead of the reader, so decoding and scanning
// share the two cores; where no thread can be had, reads `inner` directly.
std::unique_ptr<ByteSource> read_ahead(std::unique_ptr<ByteSource> inner);

// Compresses what an output writes; `write` takes the compressed bytes.
class Encoder {
public:
    using Write = std::function<void(const char*, std::size_t)>;
    virtual ~Encoder() = default;
    virtual void compress(const char* data, std::size_t size, const Write& write) = 0;
    virtual void finish(const Write& write) = 0;
};

std::unique_ptr<Encoder> gzip_encoder();
std::unique_ptr<Encoder> zstd_encoder();

// The compression an output's name asks for: ".gz" or ".zst", none otherwise.
Compression compression_for_name(std::string_view name);

}  // namespace io
