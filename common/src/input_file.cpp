#include "io.hpp"

#include "codecs.hpp"

#include <algorithm>
#include <cstring>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

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
    constexpr std::size_t wanted = 18;  // a BGZF header; gzip and zstd need fewer
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

}  // namespace

std::optional<InputFile> InputFile::open(const std::string& name, std::optional<IoError>* error) {
    const auto refuse = [&](int error_number) -> std::optional<InputFile> {
        if (error != nullptr) {
            *error = IoError{IoError::Action::open, name, error_number, {}};
        }
        return std::nullopt;
    };
    const int fd = ::open(name.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return refuse(errno);
    }
    InputFile file(fd, name);
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
        return refuse(errno);
    }
    if (S_ISDIR(info.st_mode)) {
        return refuse(EISDIR);
    }
    return file;
}

InputFile::InputFile(InputFile&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)), name_(std::move(other.name_)), error_(std::move(other.error_)) {}

InputFile& InputFile::operator=(InputFile&& other) noexcept {
    if (this != &other) {
        if (fd_ >= 0) {
            ::close(fd_);
        }
        fd_ = std::exchange(other.fd_, -1);
        name_ = std::move(other.name_);
        error_ = std::move(other.error_);
    }
    return *this;
}

InputFile::~InputFile() {
    if (fd_ >= 0) {
        ::close(fd_);
    }
}

std::size_t InputFile::read_some(char* into, std::size_t size) {
    while (fd_ >= 0 && !error_) {
        const ssize_t got = ::read(fd_, into, size);
        if (got >= 0) {
            return static_cast<std::size_t>(got);
        }
        if (errno != EINTR) {
            error_ = IoError{IoError::Action::read, name_, errno, {}};
        }
    }
    return 0;
}

InputFile InputFile::standard_input() { return InputFile(::dup(STDIN_FILENO), "-"); }

Compression compression_of(std::string_view first_bytes) {
    if (first_bytes.starts_with("\x1f\x8b")) {
        return Compression::gzip;
    }
    if (first_bytes.starts_with("\x28\xb5\x2f\xfd")) {
        return Compression::zstd;
    }
    return Compression::none;
}

std::unique_ptr<ByteSource> open_source(InputFile file) {
    bool consumed = false;
    std::string first = first_bytes(file, consumed);
    const Compression compression = compression_of(first);
    const bool bgzf = !consumed && compression == Compression::gzip && is_bgzf(first);
    if (!consumed) {
        first.clear();
    }
    switch (compression) {
    case Compression::gzip:
        if (bgzf) {
            return bgzf_source(std::move(file));
        }
        return read_ahead(gzip_source(std::move(file), std::move(first)));
    case Compression::zstd:
        return read_ahead(zstd_source(std::move(file), std::move(first)));
    case Compression::none:
        break;
    }
    return std::make_unique<PlainSource>(std::move(file), std::move(first));
}

}  // namespace io
