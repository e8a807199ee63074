// A file opened for reading by name, or standard input.
#pragma once

#include "io/file_descriptor.hpp"
#include "io/io_error.hpp"

#include <cstddef>
#include <optional>
#include <string>

namespace io {

// A file opened for reading. Directories are refused at open, as they cannot be read.
class InputFile {
public:
    // On failure `error` (when given) says why.
    [[nodiscard]] static std::optional<InputFile> open(const std::string& name,
                                                       std::optional<IoError>* error = nullptr);
    // Standard input, named "-".
    static InputFile standard_input();
    // The same file opened once more, with a read position of its own, so that two threads can
    // each read a part of it; none where it cannot be (not a regular file, or no /proc).
    std::optional<InputFile> open_again() const;

    InputFile(InputFile&& other) noexcept = default;
    InputFile& operator=(InputFile&& other) noexcept = default;
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;
    ~InputFile() = default;

    const std::string& name() const { return name_; }
    int descriptor() const { return fd_.get(); }

    // Up to `size` bytes; 0 at the end of the file or after an error, which error() keeps.
    std::size_t read_some(char* into, std::size_t size);
    const std::optional<IoError>& error() const { return error_; }

private:
    InputFile(int fd, std::string name) : fd_(fd), name_(std::move(name)) {}
    FileDescriptor fd_;
    std::string name_;
    std::optional<IoError> error_;
};

}  // namespace io
