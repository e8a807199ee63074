// Holds the records taken from the FASTA file, each as one contiguous text ready to write.
#pragma once

#include <cstddef>
#include <memory>
#include <string_view>
#include <vector>

namespace talmiro {

// Records go back to back into large blocks that never move, so memory stays close to the
// bytes taken (no per-record allocation, no doubling of one huge buffer).
class RecordStore {
public:
    static constexpr std::size_t default_block_size = std::size_t{8} << 20;

    explicit RecordStore(std::size_t block_size = default_block_size) : block_size_(block_size) {}

    // Adds to the record being built; a record that outgrows its block moves to a larger one.
    void append(std::string_view piece);
    // Ends the record being built and returns it; the view lasts as long as the store.
    std::string_view finish_record();

private:
    void move_record_to_new_block(std::size_t needed);

    std::size_t block_size_;
    std::vector<std::unique_ptr<char[]>> blocks_;
    char* block_ = nullptr;  // the newest block
    std::size_t capacity_ = 0;
    std::size_t used_ = 0;
    std::size_t record_start_ = 0;
};

}  // namespace talmiro
