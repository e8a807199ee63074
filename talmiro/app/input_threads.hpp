// Reading several inputs at once.
#pragma once

#include <cstddef>
#include <functional>

namespace talmiro {

// Runs `work` for inputs 0 to count - 1: the first on this thread, each other on a helper of
// its own where one can be had (else here, after). Returns once all are done; then rethrows
// the first input's failure, if any failed.
// `in_parallel` is called, before the first input's work, where every input has a thread.
void for_each_input(std::size_t count, const std::function<void(std::size_t)>& work,
                    const std::function<void()>& in_parallel = {});

}  // namespace talmiro
