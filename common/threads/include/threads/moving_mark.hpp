// A position one thread moves forward and a helper waits on, until the owner stops it. Stopping
// is final and wakes every waiter, however late a waiter comes to wait: a helper that read the
// mark just before the stop and only then waits must not wait for ever.
#pragma once

#include <atomic>
#include <cstddef>
#include <limits>

namespace threads {

class MovingMark {
public:
    static constexpr std::size_t stopped = std::numeric_limits<std::size_t>::max();

    std::size_t load() const { return value_.load(); }
    // Moves the mark (not once it is stopped) and wakes a waiter.
    void move_to(std::size_t value) {
        std::size_t seen = value_.load();
        while (seen != stopped && !value_.compare_exchange_weak(seen, value)) {
        }
        value_.notify_one();
    }
    // Stops the mark for good and wakes every waiter.
    void stop() {
        value_.store(stopped);
        value_.notify_all();
    }
    // Waits until the mark is no longer `seen` and gives it; `stopped` once stopped.
    std::size_t wait_past(std::size_t seen) const {
        value_.wait(seen);
        return value_.load();
    }

private:
    std::atomic<std::size_t> value_{0};
};

}  // namespace threads
