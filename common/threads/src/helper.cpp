#include "threads/helper.hpp"

#include <sched.h>
#include <system_error>

namespace threads {

bool second_core(Cores cores) {
    switch (cores) {
    case Cores::one:
        return false;
    case Cores::two:
        return true;
    case Cores::from_affinity:
        break;
    }
    cpu_set_t allowed;
    return ::sched_getaffinity(0, sizeof allowed, &allowed) == 0 && CPU_COUNT(&allowed) >= 2;
}

Helper::Helper(Work work, std::function<void()> wake) : wake_(std::move(wake)) {
    try {
        thread_ = std::jthread(std::move(work));
    } catch (const std::system_error&) {
        // No thread to be had: running() tells the owner to do the work itself.
    }
}

void Helper::stop() {
    if (!thread_.joinable()) {
        return;
    }
    thread_.request_stop();
    if (wake_) {
        wake_();
    }
    thread_.join();
}

}  // namespace threads
