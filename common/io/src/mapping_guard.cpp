#include "mapping_guard.hpp"

#include <sys/mman.h>
#include <unistd.h>
#include <atomic>
#include <csignal>
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <mutex>

namespace io {

namespace {

struct Slot {
    std::atomic<bool> taken{false};
    std::atomic<const char*> base{nullptr};  // published last: the handler reads size after it
    std::atomic<std::size_t> size{0};
    std::atomic<bool> faulted{false};
};

// One table for the process, as there is one handler: a handful of files are mapped at once.
struct Guarded {
    Slot slots[16];
    std::uintptr_t page_size = 0;
    std::once_flag installed;
};

Guarded& guarded() {
    static Guarded table;
    return table;
}

void on_bus_error(int, siginfo_t* info, void*) {
    Guarded& table = guarded();
    const auto address = reinterpret_cast<std::uintptr_t>(info->si_addr);
    for (Slot& slot : table.slots) {
        const auto base = reinterpret_cast<std::uintptr_t>(slot.base.load(std::memory_order_acquire));
        if (base != 0 && address >= base && address < base + slot.size.load(std::memory_order_relaxed)) {
            void* const page = reinterpret_cast<void*>(address & ~(table.page_size - 1));
            if (::mmap(page, table.page_size, PROT_READ, MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED, -1, 0) !=
                MAP_FAILED) {
                slot.faulted.store(true, std::memory_order_release);
                return;  // the read is retried, and finds zeros
            }
        }
    }
    // Not a file of ours: the fault, retried, ends the process as it would have.
    struct sigaction default_action {};
    default_action.sa_handler = SIG_DFL;
    ::sigaction(SIGBUS, &default_action, nullptr);
}

void install_handler() {
    guarded().page_size = static_cast<std::uintptr_t>(::sysconf(_SC_PAGESIZE));
    struct sigaction action {};
    action.sa_sigaction = on_bus_error;
    action.sa_flags = SA_SIGINFO;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGBUS, &action, nullptr);
}

}  // namespace

MappingGuard::MappingGuard(const char* base, std::size_t size) {
    Guarded& table = guarded();
    std::call_once(table.installed, install_handler);
    for (int index = 0; index < static_cast<int>(std::size(table.slots)); ++index) {
        Slot& slot = table.slots[index];
        bool expected = false;
        if (slot.taken.compare_exchange_strong(expected, true)) {
            slot.size.store(size, std::memory_order_relaxed);
            slot.faulted.store(false, std::memory_order_relaxed);
            slot.base.store(base, std::memory_order_release);
            slot_ = index;
            return;
        }
    }
}

MappingGuard::~MappingGuard() {
    if (slot_ >= 0) {
        Slot& slot = guarded().slots[slot_];
        slot.base.store(nullptr, std::memory_order_release);
        slot.taken.store(false, std::memory_order_release);
    }
}

bool MappingGuard::faulted() const {
    return slot_ >= 0 && guarded().slots[slot_].faulted.load(std::memory_order_acquire);
}

}  // namespace io
