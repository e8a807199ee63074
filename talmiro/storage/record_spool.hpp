// Where records taken from a stream wait for their turn in list order, in bounded memory.
#pragma once

#include "io/file_descriptor.hpp"
#include "talmiro/storage/file_rereading.hpp"
#include "talmiro/storage/large_arrays.hpp"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace talmiro {

// Bytes appended in order and read back from anywhere. The first `budget` bytes stay in memory;
// the rest go to a temporary file that has no name from the moment it exists (or loses it at
// once), so nothing is left behind however the run ends. Failures to make or write the file
// raise the run's write failure, naming the folder.
class RecordSpool {
public:
    RecordSpool(std::string directory, std::size_t budget);
    RecordSpool(RecordSpool&& other) noexcept = default;
    RecordSpool(const RecordSpool&) = delete;
    RecordSpool& operator=(const RecordSpool&) = delete;

    std::uint64_t size() const { return size_; }
    void append(std::string_view piece);
    // Hands bytes [offset, offset + length) to `use`, in pieces.
    void read(std::uint64_t offset, std::uint64_t length, const std::function<void(std::string_view)>& use);

private:
    void spill(std::string_view piece);
    void flush_pending();
    [[noreturn]] void fail(int error_number) const;

    std::string directory_;
    std::size_t budget_;
    std::uint64_t size_ = 0;
    LargeVector<char> memory_;   // bytes [0, memory_.size())
    io::FileDescriptor file_;    // bytes [memory_.size(), size_), less those still pending
    std::vector<char> pending_;  // the file's last bytes, not yet written
    std::uint64_t written_ = 0;  // bytes in the file
    FileRereader reread_;
};

// The folder for temporary files when no output's folder serves: $TMPDIR, else /tmp.
std::string temporary_folder();

}  // namespace talmiro
