#include "talmiro/record_store.hpp"

#include <algorithm>
#include <cstring>

namespace talmiro {

void RecordStore::append(std::string_view piece) {
    if (piece.size() > capacity_ - used_) {
        move_record_to_new_block(used_ - record_start_ + piece.size());
    }
    std::memcpy(block_ + used_, piece.data(), piece.size());
    used_ += piece.size();
}

std::string_view RecordStore::finish_record() {
    const std::string_view record(block_ + record_start_, used_ - record_start_);
    record_start_ = used_;
    return record;
}

void RecordStore::move_record_to_new_block(std::size_t needed) {
    const std::size_t so_far = used_ - record_start_;
    // Doubling for a record larger than a block keeps its copying linear in its size.
    const std::size_t capacity = std::max(block_size_, needed + needed / 2);
    auto block = std::make_unique_for_overwrite<char[]>(capacity);
    if (so_far > 0) {
        std::memcpy(block.get(), block_ + record_start_, so_far);
    }
    // A block that held nothing but the unfinished record is no longer needed.
    if (record_start_ == 0 && !blocks_.empty()) {
        blocks_.pop_back();
    }
    block_ = block.get();
    blocks_.push_back(std::move(block));
    capacity_ = capacity;
    used_ = so_far;
    record_start_ = 0;
}

}  // namespace talmiro
