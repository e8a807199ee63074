// The distances a cut keeps: one row per slot of the ID table.
#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <memory>
#include <new>

namespace orvane {

// One distance row per slot, in the input matrix's column order, as float (the dialogue, which
// rounds through single precision as it always has) or double (batch mode). Deliberately left
// uninitialised: a huge declared order must cost nothing until rows are actually read.
template <typename Distance>
class DistanceRows {
public:
    // Where a cut is written from its values' texts and nothing compares its values, each row
    // is only converted to prove it holds numbers: one row, which every slot's reading
    // overwrites, serves them all (those readers convert one row at a time).
    enum class Kept { every_row, none };

    DistanceRows(std::size_t slot_count, std::size_t order, Kept kept = Kept::every_row)
        : stride_(kept == Kept::every_row ? order : 0) {
        const std::size_t rows = kept == Kept::every_row ? slot_count : 1;
        if (order != 0 && rows > std::numeric_limits<std::size_t>::max() / sizeof(Distance) / order) {
            throw std::bad_alloc();
        }
        values_ = std::make_unique_for_overwrite<Distance[]>(rows * order);
    }
    Distance* row(std::uint32_t slot) { return values_.get() + slot * stride_; }
    const Distance* row(std::uint32_t slot) const { return values_.get() + slot * stride_; }

private:
    std::unique_ptr<Distance[]> values_;
    std::size_t stride_;
};

}  // namespace orvane
