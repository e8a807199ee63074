// The distances a cut keeps: one row per slot of the ID table.
#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <memory>
#include <new>

namespace orvane {

// One distance row per slot, in the input matrix's column order, as float (the dialogue, which
// rounds through single precision as it always has) or double (batch mode, where the six
// decimals written are the six read). Deliberately left uninitialised: a huge declared order
// must cost nothing until rows are actually read.
template <typename Distance>
class DistanceRows {
public:
    DistanceRows(std::size_t slot_count, std::size_t order) : order_(order) {
        if (order != 0 && slot_count > std::numeric_limits<std::size_t>::max() / sizeof(Distance) / order) {
            throw std::bad_alloc();
        }
        values_ = std::make_unique_for_overwrite<Distance[]>(slot_count * order);
    }
    Distance* row(std::uint32_t slot) { return values_.get() + slot * order_; }
    const Distance* row(std::uint32_t slot) const { return values_.get() + slot * order_; }

private:
    std::unique_ptr<Distance[]> values_;
    std::size_t order_;
};

}  // namespace orvane
