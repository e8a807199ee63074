#include "io/output_file.hpp"

#include "io/file_system.hpp"
#include "io/input_file.hpp"

#include "codecs/codecs.hpp"
#include "compression_codecs.hpp"
#include "io/temp_files.hpp"
#include "output_targets.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <utility>

namespace io {

namespace {
constexpr std::size_t output_buffer_size = std::size_t{1} << 16;
}

namespace {

// A descriptor the process already holds, named as /dev/stdout or /dev/fd/N: written through
// a copy of it, at the offset its holder has reached, never emptied or replaced (the shell's
// file behind it holds what others wrote there too). -1 with errno when it is not open.
int reuse_descriptor(int descriptor) { return ::fcntl(descriptor, F_DUPFD_CLOEXEC, 3); }

std::optional<OutputFile> refused(const std::string& name, int error_number, std::optional<IoError>* error) {
    if (error != nullptr) {
        *error = IoError{IoError::Action::create, name, error_number, {}};
    }
    return std::nullopt;
}

// The replacement keeps the replaced file's permissions (and owner, where allowed); a new file
// gets what creating it would have given.
void give_permissions(int fd, const struct stat* existing) {
    if (existing != nullptr) {
        ::fchmod(fd, existing->st_mode & 07777);
        // Only root and the owner's own groups may give the owner back; elsewhere the file keeps
        // the new owner, as cp without -p leaves it.
        [[maybe_unused]] const int owner_kept = ::fchown(fd, existing->st_uid, existing->st_gid);
        return;
    }
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(fd, 0666 & ~mask);
}

}  // namespace

std::optional<OutputFile> OutputFile::create(const std::string& name, std::optional<IoError>* error) {
    const OutputTarget target = output_target(name);
    if (target.descriptor >= 0) {
        const int fd = reuse_descriptor(target.descriptor);
        return fd < 0 ? refused(name, errno, error) : std::optional<OutputFile>(OutputFile(fd, name));
    }
    const int fd = ::open(target.path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) {
        return refused(name, errno, error);
    }
    OutputFile file(fd, name);
    file.empty_when_writing_begins_ = true;
    return file;
}

std::optional<OutputFile> OutputFile::replace_regular(const std::string& target, TempFiles& temps,
                                                      std::optional<IoError>* error) {
    if (const std::optional<std::string> kind = special_file_kind(output_target(target).path.string())) {
        if (error != nullptr) {
            *error = IoError{IoError::Action::create, target, 0, "it is " + *kind + ", not a regular file"};
        }
        return std::nullopt;
    }
    return replace(target, temps, error);
}

std::optional<OutputFile> OutputFile::replace(const std::string& target, TempFiles& temps,
                                              std::optional<IoError>* error) {
    if (target == "-") {
        return standard_output();
    }
    const auto refuse = [&](int error_number) { return refused(target, error_number, error); };
    const OutputTarget where = output_target(target);
    if (where.descriptor >= 0) {
        const int fd = reuse_descriptor(where.descriptor);
        return fd < 0 ? refuse(errno) : std::optional<OutputFile>(OutputFile(fd, target));
    }
    const std::filesystem::path& resolved = where.path;
    struct stat existing {};
    const bool exists = ::stat(resolved.c_str(), &existing) == 0;
    if (exists && !S_ISREG(existing.st_mode)) {
        // A device, pipe or terminal has no contents to keep: write to it directly.
        const int fd = ::open(resolved.c_str(), O_WRONLY | O_CLOEXEC);
        return fd < 0 ? refuse(errno) : std::optional<OutputFile>(OutputFile(fd, target));
    }
    if (exists) {
        // A file the user may not write is refused, as opening it would be.
        const int probe = ::open(resolved.c_str(), O_WRONLY | O_CLOEXEC);
        if (probe < 0) {
            return refuse(errno);
        }
        ::close(probe);
    }
    std::string temporary = temporary_template(resolved);
    const int fd = temps.create(temporary);
    if (fd < 0) {
        return refuse(errno);
    }
    give_permissions(fd, exists ? &existing : nullptr);
    OutputFile file(fd, target);
    file.temporary_ = std::move(temporary);
    file.target_ = resolved.string();
    file.temps_ = &temps;
    return file;
}

OutputFile OutputFile::standard_output() { return OutputFile(::dup(STDOUT_FILENO), "-"); }

OutputFile::OutputFile(int fd, std::string name) : fd_(fd), name_(std::move(name)), buffer_(output_buffer_size) {}

OutputFile::OutputFile(OutputFile&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)),
      name_(std::move(other.name_)),
      error_(std::move(other.error_)),
      buffer_(std::move(other.buffer_)),
      used_(std::exchange(other.used_, 0)),
      temporary_(std::exchange(other.temporary_, {})),
      target_(std::move(other.target_)),
      temps_(other.temps_),
      encoder_(std::move(other.encoder_)),
      empty_when_writing_begins_(other.empty_when_writing_begins_) {}

OutputFile& OutputFile::operator=(OutputFile&& other) noexcept {
    if (this != &other) {
        release();
        fd_ = std::exchange(other.fd_, -1);
        name_ = std::move(other.name_);
        error_ = std::move(other.error_);
        buffer_ = std::move(other.buffer_);
        used_ = std::exchange(other.used_, 0);
        temporary_ = std::exchange(other.temporary_, {});
        target_ = std::move(other.target_);
        temps_ = other.temps_;
        encoder_ = std::move(other.encoder_);
        empty_when_writing_begins_ = other.empty_when_writing_begins_;
    }
    return *this;
}

OutputFile::~OutputFile() { release(); }

void OutputFile::release() {
    if (temporary_.empty()) {
        finish();
        return;
    }
    // Never closed: the run did not finish, and the target keeps what it held.
    if (fd_ >= 0) {
        ::close(std::exchange(fd_, -1));
    }
    discard_temporary();
}

void OutputFile::discard_temporary() {
    ::unlink(temporary_.c_str());
    temps_->remove(temporary_);
    temporary_.clear();
}

void OutputFile::begin_writing() {
    struct stat info {};
    if (empty_when_writing_begins_ && fd_ >= 0 && ::fstat(fd_, &info) == 0 && S_ISREG(info.st_mode) &&
        ::ftruncate(fd_, 0) != 0) {
        fail(IoError::Action::write, errno);
    }
}

void OutputFile::write(std::string_view text) {
    if (text.empty()) {
        return;  // an empty view may hold no pointer at all, which memcpy may not be given
    }
    if (text.size() > buffer_.size() - used_) {
        flush();
        if (text.size() >= buffer_.size()) {
            write_through(text.data(), text.size());
            return;
        }
    }
    std::memcpy(buffer_.data() + used_, text.data(), text.size());
    used_ += text.size();
}

void OutputFile::put(char c) {
    if (used_ == buffer_.size()) {
        flush();
    }
    buffer_[used_++] = c;
}

void OutputFile::flush() {
    write_through(buffer_.data(), used_);
    used_ = 0;
}

std::size_t OutputFile::copy_from(int descriptor, std::uint64_t offset, std::size_t length) {
    if (encoder_ || !kernel_copies_ || error_ || fd_ < 0) {
        return 0;
    }
    flush();  // what was written before goes first
    auto from = static_cast<off64_t>(offset);
    std::size_t copied = 0;
    while (copied < length && !error_) {
        const ssize_t got = ::copy_file_range(descriptor, &from, fd_, nullptr, length - copied, 0);
        if (got > 0) {
            copied += static_cast<std::size_t>(got);
        } else if (got < 0 && errno == EINTR) {
            continue;
        } else if (got == 0 || errno == EXDEV || errno == EINVAL || errno == ENOSYS || errno == EOPNOTSUPP ||
                   errno == EBADF || errno == ETXTBSY) {
            // Ends the kernel will not copy between (a pipe, another file system on an old
            // kernel), or a source that ended early: the caller writes what is left.
            kernel_copies_ = false;
            break;
        } else {
            fail(IoError::Action::write, errno);
        }
    }
    return copied;
}

void OutputFile::fail(IoError::Action action, int error_number) {
    if (!error_) {
        error_ = IoError{action, name_, error_number, {}};
    }
}

void OutputFile::compress(const CompressionChoice& choice) {
    codecs::Settings settings;
    settings.format = codec_format(choice.compression);
    settings.level = choice.level;
    settings.threads = choice.threads;
    encoder_ = codecs::encoder_for(settings);
}

void OutputFile::compress_with(std::unique_ptr<codecs::Encoder> encoder) { encoder_ = std::move(encoder); }

void OutputFile::fail_compressing() {
    if (!error_) {
        error_ = IoError{IoError::Action::write, name_, 0, "cannot compress it: " + encoder_->failure()};
    }
}

void OutputFile::write_through(const char* data, std::size_t size) {
    if (encoder_ && size > 0) {
        if (!encoder_->compress(data, size,
                                [this](const char* bytes, std::size_t count) { write_raw(bytes, count); })) {
            fail_compressing();
        }
        return;
    }
    write_raw(data, size);
}

void OutputFile::write_raw(const char* data, std::size_t size) {
    // After the first failure nothing more is attempted: the outcome is already decided,
    // and a full disk should not be hammered with the rest of a large output.
    while (size > 0 && !error_ && fd_ >= 0) {
        const ssize_t put = ::write(fd_, data, size);
        if (put < 0) {
            if (errno != EINTR) {
                fail(IoError::Action::write, errno);
            }
        } else if (put == 0) {
            fail(IoError::Action::write, EIO);
        } else {
            data += put;
            size -= static_cast<std::size_t>(put);
        }
    }
}

bool OutputFile::finish() {
    if (fd_ >= 0) {
        flush();
        if (encoder_) {
            if (!encoder_->finish([this](const char* bytes, std::size_t count) { write_raw(bytes, count); })) {
                fail_compressing();
            }
            encoder_.reset();
        }
        if (::close(std::exchange(fd_, -1)) != 0) {
            fail(IoError::Action::write, errno);
        }
    }
    return !error_;
}

bool OutputFile::commit() {
    if (!temporary_.empty()) {
        if (error_ || ::rename(temporary_.c_str(), target_.c_str()) != 0) {
            fail(IoError::Action::create, errno);
            ::unlink(temporary_.c_str());
        }
        temps_->remove(temporary_);
        temporary_.clear();
    }
    return !error_;
}

bool OutputFile::close() { return finish() && commit(); }

bool OutputFile::identity(std::uint64_t& device, std::uint64_t& inode) const {
    struct stat info {};
    if (!(temporary_.empty() ? ::fstat(fd_, &info) == 0 : ::stat(target_.c_str(), &info) == 0)) {
        return false;
    }
    if (S_ISCHR(info.st_mode) || S_ISBLK(info.st_mode)) {
        // Only /dev/null can take two outputs at once: it keeps nothing that could interleave.
        struct stat null {};
        if (S_ISCHR(info.st_mode) && ::stat("/dev/null", &null) == 0 && info.st_rdev == null.st_rdev) {
            return false;
        }
        device = 0;  // a device, whatever name reached it: a terminal as /dev/tty or /dev/pts/3
        inode = info.st_rdev;
        return true;
    }
    device = info.st_dev;
    inode = info.st_ino;
    return true;
}

bool OutputFile::writes_over(const InputFile& input) const {
    struct stat mine {};
    struct stat theirs {};
    return temporary_.empty() && ::fstat(fd_, &mine) == 0 && ::fstat(input.descriptor(), &theirs) == 0 &&
           S_ISREG(mine.st_mode) && mine.st_dev == theirs.st_dev && mine.st_ino == theirs.st_ino;
}

bool OutputFile::same_file_as(const OutputFile& other) const {
    if (!temporary_.empty() && !other.temporary_.empty() && target_ == other.target_) {
        return true;  // one target, perhaps not there yet
    }
    // One regular file, pipe, FIFO or device reached by two outputs would hold them interleaved.
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::uint64_t other_device = 0;
    std::uint64_t other_inode = 0;
    return identity(device, inode) && other.identity(other_device, other_inode) && device == other_device &&
           inode == other_inode;
}

}  // namespace io
