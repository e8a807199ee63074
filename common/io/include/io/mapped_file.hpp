// A whole file mapped read-only, for indexes: looked up in place, never read whole.
#pragma once

#include "io/io_error.hpp"

#include <optional>
#include <string>
#include <string_view>

namespace io {

class MappedFile {
public:
    // How the mapping will be read: `lookups` touch a few scattered pages (a binary search), so
    // no page is brought in beside the one touched.
    enum class Use { whole, lookups };
    // Nothing when it cannot be opened or mapped, with `error` saying why.
    [[nodiscard]] static std::optional<MappedFile> open(const std::string& path, std::optional<IoError>& error,
                                                        Use use = Use::whole);

    MappedFile(MappedFile&& other) noexcept;
    MappedFile& operator=(MappedFile&& other) noexcept;
    MappedFile(const MappedFile&) = delete;
    MappedFile& operator=(const MappedFile&) = delete;
    ~MappedFile();

    std::string_view bytes() const { return {data_, size_}; }
    const std::string& path() const { return path_; }

private:
    MappedFile(const char* data, std::size_t size, std::string path)
        : data_(data), size_(size), path_(std::move(path)) {}
    const char* data_ = nullptr;
    std::size_t size_ = 0;
    std::string path_;
};

// Who a file is and when it last changed, to the nanosecond: its size, its modification and
// change (ctime) times and its inode. An index records it, so that a later change shows; the
// change time moves with every write and cannot be set back by `touch`, and the inode tells a
// file put in another's place. Not the device: it differs between the clients of one NFS share.
struct FileStamp {
    std::uint64_t size = 0;
    std::int64_t seconds = 0;
    std::int64_t nanoseconds = 0;
    std::int64_t change_seconds = 0;
    std::int64_t change_nanoseconds = 0;
    std::uint64_t inode = 0;
    bool operator==(const FileStamp&) const = default;
};
// Nothing for a file that is not regular (a pipe, a terminal) or cannot be looked at.
std::optional<FileStamp> stamp_of(int descriptor);
std::optional<FileStamp> stamp_of(const std::string& path);

}  // namespace io
