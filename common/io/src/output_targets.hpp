// Private to the I/O layer: where an output's name leads, and the temporary file beside it.
#pragma once

#include <filesystem>
#include <string>

namespace io {

struct OutputTarget {
    // A descriptor this process already holds, which the name stands for (/dev/stdout,
    // /dev/fd/N, /proc/self/fd/N, or a link to one of them); -1 when it names none.
    int descriptor = -1;
    // Otherwise the file itself, every symbolic link followed: the last may lead to a file that
    // does not exist yet, which is then created, as the shell's `>` does.
    std::filesystem::path path;
};

OutputTarget output_target(const std::string& name);

// A hidden, unique name beside the target, so that the rename stays within one file system:
// ".NAME.XXXXXX", with NAME cut where the file system's longest name would otherwise be passed.
std::string temporary_template(const std::filesystem::path& target);

}  // namespace io
