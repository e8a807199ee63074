#include "io/mapped_file.hpp"

#include "io/file_system.hpp"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <utility>

namespace io {

namespace {

std::optional<FileStamp> stamp_from(const struct stat& info) {
    if (!S_ISREG(info.st_mode)) {
        return std::nullopt;
    }
    return FileStamp{static_cast<std::uint64_t>(info.st_size),
                     info.st_mtim.tv_sec,
                     info.st_mtim.tv_nsec,
                     info.st_ctim.tv_sec,
                     info.st_ctim.tv_nsec,
                     static_cast<std::uint64_t>(info.st_ino)};
}

}  // namespace

std::optional<MappedFile> MappedFile::open(const std::string& path, std::optional<IoError>& error, Use use) {
    std::uint64_t file_size = 0;
    const FileDescriptor descriptor = open_regular(path, file_size, error);
    if (!descriptor.valid()) {
        return std::nullopt;
    }
    const auto size = static_cast<std::size_t>(file_size);
    void* data = nullptr;
    if (size > 0) {
        data = ::mmap(nullptr, size, PROT_READ, MAP_SHARED, descriptor.get(), 0);
        if (data == MAP_FAILED) {
            error = IoError{IoError::Action::read, path, errno, {}};
            return std::nullopt;
        }
        if (use == Use::lookups) {
            ::madvise(data, size, MADV_RANDOM);  // advice only
        }
    }
    // The mapping stays once the descriptor closes.
    return MappedFile(static_cast<const char*>(data), size, path);
}

MappedFile::MappedFile(MappedFile&& other) noexcept
    : data_(std::exchange(other.data_, nullptr)), size_(std::exchange(other.size_, 0)), path_(std::move(other.path_)) {}

MappedFile& MappedFile::operator=(MappedFile&& other) noexcept {
    if (this != &other) {
        std::swap(data_, other.data_);
        std::swap(size_, other.size_);
        std::swap(path_, other.path_);
    }
    return *this;
}

MappedFile::~MappedFile() {
    if (data_ != nullptr && size_ > 0) {
        ::munmap(const_cast<char*>(data_), size_);
    }
}

std::optional<FileStamp> stamp_of(int descriptor) {
    struct stat info {};
    if (::fstat(descriptor, &info) != 0) {
        return std::nullopt;
    }
    return stamp_from(info);
}

std::optional<FileStamp> stamp_of(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        return std::nullopt;
    }
    return stamp_from(info);
}

}  // namespace io
