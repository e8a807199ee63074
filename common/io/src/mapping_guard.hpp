// Private to the I/O layer: what keeps a mapped file that shrinks under the reader from killing
// the process.
#pragma once

#include <cstddef>

namespace io {

// While it lives, a read of the mapping past the file's end (the file was cut short by another
// process, and the kernel raises SIGBUS) finds a page of zeros instead, and faulted() turns true
// so that the reader can stop where the file now ends. The handler and its table of mappings
// are process-wide, as the kernel has one SIGBUS handler per process; a guard that finds the
// table full guards nothing, and such a fault ends the process as before.
class MappingGuard {
public:
    MappingGuard(const char* base, std::size_t size);
    ~MappingGuard();
    MappingGuard(const MappingGuard&) = delete;
    MappingGuard& operator=(const MappingGuard&) = delete;

    bool faulted() const;
    // False when every place in the process's table was taken: the mapping is not protected.
    bool guarding() const { return slot_ >= 0; }

private:
    int slot_ = -1;
};

}  // namespace io
