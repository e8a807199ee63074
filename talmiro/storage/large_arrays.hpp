// Memory for large arrays filled once: an index's tables (hundreds of megabytes for tens of
// millions of records), the spool of taken records. Taken in huge pages where the system allows
// them, as touching that much fresh memory a 4 KiB page at a time costs more than the work that
// fills it.
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
        ::madvise(memory, bytes, MADV_HUGEPAGE);  // advice only: without it, ordinary pages
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
