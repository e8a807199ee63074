#include "output_targets.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <charconv>
#include <climits>
#include <string_view>

namespace io {

namespace {

// The links a name may pass through before it is taken for a loop, as the kernel counts them.
constexpr int most_links = 40;

// The descriptor a path stands for, when it is one of the kernel's names of a descriptor of
// this process; -1 otherwise.
int descriptor_of(const std::filesystem::path& path) {
    const std::string text = path.lexically_normal().string();
    for (const auto& [name, descriptor] : {std::pair{"/dev/stdin", 0}, {"/dev/stdout", 1}, {"/dev/stderr", 2}}) {
        if (text == name) {
            return descriptor;
        }
    }
    const std::string own_folder = "/proc/" + std::to_string(::getpid()) + "/fd/";
    for (const std::string_view folder : {std::string_view("/dev/fd/"), std::string_view("/proc/self/fd/"),
                                          std::string_view("/proc/thread-self/fd/"), std::string_view(own_folder)}) {
        if (text.starts_with(folder)) {
            const std::string_view number = std::string_view(text).substr(folder.size());
            int descriptor = -1;
            const auto [end, failure] = std::from_chars(number.data(), number.data() + number.size(), descriptor);
            if (failure == std::errc() && end == number.data() + number.size() && !number.empty()) {
                return descriptor;
            }
        }
    }
    return -1;
}

}  // namespace

OutputTarget output_target(const std::string& name) {
    std::error_code ignored;
    std::filesystem::path path = std::filesystem::absolute(name, ignored).lexically_normal();
    for (int hop = 0; hop <= most_links; ++hop) {
        // The folders on the way are resolved as the kernel would, the last name step by step,
        // so that each name it passes through can be looked at.
        const std::filesystem::path folder = std::filesystem::weakly_canonical(path.parent_path(), ignored);
        if (!folder.empty()) {
            path = folder / path.filename();
        }
        if (const int descriptor = descriptor_of(path); descriptor >= 0) {
            return {descriptor, path};
        }
        struct stat link {};
        if (::lstat(path.c_str(), &link) != 0 || !S_ISLNK(link.st_mode)) {
            break;
        }
        const std::filesystem::path next = std::filesystem::read_symlink(path, ignored);
        if (next.empty()) {
            break;
        }
        path = (next.is_absolute() ? next : path.parent_path() / next).lexically_normal();
    }
    return {-1, path};
}

std::string temporary_template(const std::filesystem::path& target) {
    constexpr std::string_view suffix = ".XXXXXX";
    std::string name = target.filename().string();
    const long longest = ::pathconf(target.parent_path().c_str(), _PC_NAME_MAX);
    const std::size_t room = (longest > 0 ? static_cast<std::size_t>(longest) : NAME_MAX) - 1 - suffix.size();
    if (name.size() > room) {
        name.resize(room);
    }
    return (target.parent_path() / ("." + name + std::string(suffix))).string();
}

}  // namespace io
