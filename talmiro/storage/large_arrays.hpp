// Memory for large arrays filled once: an index's tables (hundreds of megabytes for tens of
// millions of records), the spool of taken records. Mapped with room reserved ahead, so that
// they never grow by copying, and backed only where written. Ordinary pages, not huge ones:
// on a virtual machine a fresh huge page measured five to ten times slower to obtain per byte
// (the host backs and the guest clears all 2 MiB at once, often after compacting memory).
#pragma once

#include <sys/mman.h>
#include <cstddef>
#include <new>
#include <string>
#include <vector>

namespace talmiro {

template <typename T>
struct LargeAllocator {
    using value_type = T;
    static constexpr std::size_t mapped_from = std::size_t{1} << 21;

    LargeAllocator() = default;
    template <typename U>
    explicit LargeAllocator(const LargeAllocator<U>&) {}

    T* allocate(std::size_t count) {
        const std::size_t bytes = count * sizeof(T);
        if (bytes < mapped_from) {
            return std::allocator<T>().allocate(count);
        }
        // Pages come as they are first written: room reserved and never filled costs nothing.
        void* const memory =
            ::mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
        if (memory == MAP_FAILED) {
            throw std::bad_alloc();
        }
        return static_cast<T*>(memory);
    }
    void deallocate(T* memory, std::size_t count) {
        const std::size_t bytes = count * sizeof(T);
        if (bytes < mapped_from) {
            std::allocator<T>().deallocate(memory, count);
        } else {
            ::munmap(memory, bytes);
        }
    }
    template <typename U>
    bool operator==(const LargeAllocator<U>&) const {
        return true;
    }
};

template <typename T>
using LargeVector = std::vector<T, LargeAllocator<T>>;
using LargeString = std::basic_string<char, std::char_traits<char>, LargeAllocator<char>>;

}  // namespace talmiro
