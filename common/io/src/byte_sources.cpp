#include "io/byte_source.hpp"

#include "codecs/codecs.hpp"
#include "read_ahead.hpp"
#include "threads/helper.hpp"

#include <sys/stat.h>
#include <unistd.h>
#include <algorithm>
#include <cstring>

namespace io {

namespace {

// The bytes of the file are the text itself; from a pipe, the first few were already taken to
// recognise it, and come first.
class PlainSource final : public ByteSource {
public:
    PlainSource(InputFile file, std::string already_read)
        : file_(std::move(file)), already_read_(std::move(already_read)) {}

    std::size_t read(char* into, std::size_t size) override {
        if (given_ < already_read_.size()) {
            const std::size_t count = std::min(size, already_read_.size() - given_);
            std::memcpy(into, already_read_.data() + given_, count);
            given_ += count;
            return count;
        }
        return file_.read_some(into, size);
    }
    const std::optional<IoError>& error() const override { return file_.error(); }
    const InputFile* plain_file() const override { return &file_; }
    const std::string& name() const override { return file_.name(); }

private:
    InputFile file_;
    std::string already_read_;
    std::size_t given_ = 0;
};

// The first bytes of a file, enough to tell its form. A regular file is read at its start and
// left as it was; from anything else they are read for good, and handed back.
std::string first_bytes(InputFile& file, bool& consumed) {
    constexpr std::size_t wanted = codecs::detection_bytes;
    std::string bytes(wanted, '\0');
    struct stat info {};
    consumed = !(::fstat(file.descriptor(), &info) == 0 && S_ISREG(info.st_mode));
    std::size_t got = 0;
    if (!consumed) {
        const ssize_t read = ::pread(file.descriptor(), bytes.data(), wanted, 0);
        got = read > 0 ? static_cast<std::size_t>(read) : 0;
    } else {
        for (std::size_t more = 1; got < wanted && more > 0; got += more) {
            more = file.read_some(bytes.data() + got, wanted - got);
        }
    }
    bytes.resize(got);
    return bytes;
}

// A compressed file read through its decoder. The file's own failure to read says most about
// what went wrong; otherwise damaged data is the file's fault, named with the format.
class DecodedSource final : public ByteSource {
public:
    DecodedSource(InputFile file, codecs::Format format, std::string already_read)
        : file_(std::move(file)),
          format_(format),
          size_at_open_(regular_size(file_)),
          decoder_(make_decoder(std::move(already_read))) {}

    std::size_t read(char* into, std::size_t size) override {
        const std::size_t got = decoder_->read(into, size);
        if (got == 0 && !judged_) {
            judged_ = true;
            if (!file_.error()) {
                judge_the_end();
            }
        }
        return got;
    }
    const std::optional<IoError>& error() const override { return file_.error() ? file_.error() : damage_; }
    const InputFile* plain_file() const override { return nullptr; }
    const std::string& name() const override { return file_.name(); }

private:
    // The size of a regular file, -1 for anything else.
    static std::int64_t regular_size(const InputFile& file) {
        struct stat info {};
        return ::fstat(file.descriptor(), &info) == 0 && S_ISREG(info.st_mode) ? info.st_size : -1;
    }

    // The decoded data has ended. A file whose size changed meanwhile (cut, or appended to), or
    // that ended at a member's or frame's end before its size, was not read as it stands: the
    // text may be another version's. Otherwise damaged data is told as such.
    void judge_the_end() {
        const bool changed = size_at_open_ >= 0 && (regular_size(file_) != size_at_open_ ||
                                                    (!decoder_->damaged() && consumed_ != size_at_open_));
        if (changed) {
            damage_ = IoError::changed_while_read(file_.name());
        } else if (decoder_->damaged()) {
            damage_ = IoError::bad_content(
                file_.name(), "corrupt or truncated " + std::string(codecs::format_label(format_)) + " data");
        }
    }

    std::unique_ptr<codecs::Decoder> make_decoder(std::string already_read) {
        codecs::Fill fill = [this](char* into, std::size_t size) -> std::optional<std::size_t> {
            const std::size_t got = file_.read_some(into, size);
            consumed_ += static_cast<std::int64_t>(got);
            return file_.error() ? std::nullopt : std::optional<std::size_t>(got);
        };
        switch (format_) {
        case codecs::Format::bgzf: {
            // A reader and a helper a core; on one core, the reader alone.
            const unsigned cores = threads::usable_cores();
            return codecs::bgzf_decoder(std::move(fill), cores == 1 ? 1 : cores + 1);
        }
        case codecs::Format::zstd:
            return codecs::zstd_decoder(std::move(fill), std::move(already_read));
        case codecs::Format::bzip2:
            return codecs::bzip2_decoder(std::move(fill), std::move(already_read));
        case codecs::Format::xz:
            return codecs::xz_decoder(std::move(fill), std::move(already_read));
        case codecs::Format::gzip:
        case codecs::Format::plain:
            break;
        }
        return codecs::gzip_decoder(std::move(fill), std::move(already_read));
    }

    InputFile file_;
    codecs::Format format_;
    std::int64_t size_at_open_;
    std::int64_t consumed_ = 0;  // bytes of the file the decoder has read
    std::optional<IoError> damage_;
    bool judged_ = false;                       // the end has been looked at once: the file's size is asked once
    std::unique_ptr<codecs::Decoder> decoder_;  // last: reads file_
};

}  // namespace

namespace {

class TappedSource final : public ByteSource {
public:
    TappedSource(std::unique_ptr<ByteSource> inner, std::function<void(std::string_view)> tap)
        : inner_(std::move(inner)), tap_(std::move(tap)) {}
    std::size_t read(char* into, std::size_t size) override {
        const std::size_t got = inner_->read(into, size);
        tap_({into, got});
        return got;
    }
    const std::optional<IoError>& error() const override { return inner_->error(); }
    const InputFile* plain_file() const override { return nullptr; }
    const std::string& name() const override { return inner_->name(); }

private:
    std::unique_ptr<ByteSource> inner_;
    std::function<void(std::string_view)> tap_;
};

}  // namespace

std::unique_ptr<ByteSource> tapped(std::unique_ptr<ByteSource> inner, std::function<void(std::string_view)> tap) {
    // Read and tapped a few blocks ahead on a helper, so that the tap's work runs beside the
    // reader's.
    return read_ahead(std::make_unique<TappedSource>(std::move(inner), std::move(tap)));
}

std::unique_ptr<ByteSource> open_source(InputFile file, Decoding decoding) {
    bool consumed = false;
    std::string first = first_bytes(file, consumed);
    const codecs::Format format = codecs::format_of(first, !consumed);
    if (!consumed) {
        first.clear();
    }
    switch (format) {
    case codecs::Format::plain:
        break;
    case codecs::Format::bgzf:
        // Inflated on helper threads of its own.
        return std::make_unique<DecodedSource>(std::move(file), format, std::move(first));
    case codecs::Format::gzip:
    case codecs::Format::zstd:
    case codecs::Format::bzip2:
    case codecs::Format::xz: {
        auto decoded = std::make_unique<DecodedSource>(std::move(file), format, std::move(first));
        if (decoding == Decoding::by_reader) {
            return decoded;
        }
        return read_ahead(std::move(decoded));
    }
    }
    return std::make_unique<PlainSource>(std::move(file), std::move(first));
}

}  // namespace io
