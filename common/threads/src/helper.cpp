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

unsigned usable_cores() {
    cpu_set_t allowed;
    if (::sched_getaffinity(0, sizeof allowed, &allowed) != 0) {
        return 1;
    }
    const int count = CPU_COUNT(&allowed);
    return count > 0 ? static_cast<unsigned>(count) : 1U;
}

bool keep_to_cores(unsigned count) {
    cpu_set_t allowed;
    if (::sched_getaffinity(0, sizeof allowed, &allowed) != 0) {
        return false;
    }
    if (static_cast<unsigned>(CPU_COUNT(&allowed)) <= count) {
        return true;
    }
    cpu_set_t kept;
    CPU_ZERO(&kept);
    unsigned taken = 0;
    for (int cpu = 0; cpu < CPU_SETSIZE && taken < count; ++cpu) {
        if (CPU_ISSET(cpu, &allowed)) {
            CPU_SET(cpu, &kept);
            ++taken;
        }
    }
    return ::sched_setaffinity(0, sizeof kept, &kept) == 0;
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
