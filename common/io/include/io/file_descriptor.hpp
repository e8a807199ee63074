// One open file descriptor, owned: closed when its owner goes, whatever way it goes.
#pragma once

#include <utility>

namespace io {

class FileDescriptor {
public:
    FileDescriptor() = default;
    // Takes `fd` (negative: none).
    explicit FileDescriptor(int fd) : fd_(fd) {}
    FileDescriptor(FileDescriptor&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    FileDescriptor& operator=(FileDescriptor&& other) noexcept {
        if (this != &other) {
            close();
            fd_ = std::exchange(other.fd_, -1);
        }
        return *this;
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    ~FileDescriptor() { close(); }

    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }

private:
    void close();
    int fd_ = -1;
};

}  // namespace io
