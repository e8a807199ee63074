// The threads room: the mark the read-ahead helper waits on. Stopping must release a waiter in
// either order of the two threads, which is what closing a file races; each order is made here
// on purpose, so a fault shows on every run rather than once in thousands.
#include "threads/moving_mark.hpp"

#include <gtest/gtest.h>

#include <thread>

namespace {

using threads::MovingMark;

TEST(MovingMark, AWaitAfterTheStopReturnsAtOnce) {
    MovingMark mark;
    mark.move_to(5);
    const std::size_t seen = mark.load();                  // the helper reads the mark...
    mark.stop();                                           // ...the owner stops it...
    EXPECT_EQ(mark.wait_past(seen), MovingMark::stopped);  // ...and only then the helper waits
    mark.move_to(9);                                       // a late move does not undo the stop
    EXPECT_EQ(mark.load(), MovingMark::stopped);
}

TEST(MovingMark, AWaiterIsReleasedByAMoveOrTheStop) {
    for (const bool stop : {false, true}) {
        MovingMark mark;
        std::size_t got = 0;
        std::thread waiter([&] { got = mark.wait_past(0); });
        if (stop) {
            mark.stop();
        } else {
            mark.move_to(7);
        }
        waiter.join();
        EXPECT_EQ(got, stop ? MovingMark::stopped : 7U);
    }
}

}  // namespace
