// The one way this code base runs work beside the main thread: a helper that starts where a
// thread can be had and otherwise leaves the work to its owner, and that is always stopped and
// joined before what it reads goes away.
#pragma once

#include <functional>
#include <stop_token>
#include <thread>

namespace threads {

// Which paths a step takes. Decided from the CPUs the process may run on, so that
// `taskset -c 0` selects the one-core paths end to end; or forced, so that a test can hold each
// parallel path to the serial one on any machine.
enum class Cores { from_affinity, one, two };

// Whether a second thread would have a core of its own to do its share on.
bool second_core(Cores cores);

// The CPUs the process may run on (at least 1).
unsigned usable_cores();

// Keeps the process, and every thread it starts, to `count` of the CPUs it may use now (as
// `taskset` would), so that every path that decides its helpers from the CPUs takes no more;
// nothing where it may use no more than that already. False where the system refuses.
bool keep_to_cores(unsigned count);

// One helper thread. Where no thread can be had (a process limit), running() is false and the
// owner does the work itself: every helper here is an optimisation or a convenience, never the
// only way to finish. The owner declares it after everything the work touches, so it is stopped
// first; stopping asks the work to end (the stop token), calls `wake` to rouse it from whatever
// the owner makes it wait on, and joins it.
class Helper {
public:
    using Work = std::function<void(std::stop_token)>;

    explicit Helper(Work work, std::function<void()> wake = {});
    ~Helper() { stop(); }
    Helper(const Helper&) = delete;
    Helper& operator=(const Helper&) = delete;

    bool running() const { return thread_.joinable(); }
    std::jthread::native_handle_type native_handle() { return thread_.native_handle(); }

    // Stops and joins the helper now, before the owner's destructor would.
    void stop();

private:
    std::function<void()> wake_;
    std::jthread thread_;
};

}  // namespace threads
