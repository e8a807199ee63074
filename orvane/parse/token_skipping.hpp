// Skipping many whitespace-separated tokens at once: the hot loop of reading a matrix whose
// rows are mostly not listed.
#pragma once

#include <cstddef>
#include <cstdint>

namespace orvane {

struct SkipProgress {
    std::size_t pos;          // where scanning stopped
    std::uint64_t remaining;  // token starts still to find
    bool in_token;            // whether the byte before `pos` belongs to a token
};

// The instruction sets the scan can use; the best one the processor has is chosen at run time.
enum class ScanKernel { portable, sse2, avx2 };
ScanKernel best_scan_kernel();
bool scan_kernel_supported(ScanKernel kernel);

// Scans [data + pos, data + end) for token starts (a non-blank byte whose predecessor is blank;
// `in_token` tells what the byte before `pos` was), counting `remaining` down. Stops at the
// start of the last wanted token (remaining then 0, pos at that byte) or near the end of the
// data: only whole 64-byte blocks are taken, the caller finishes the tail byte by byte.
SkipProgress skip_token_starts(const char* data, std::size_t end, SkipProgress progress,
                               ScanKernel kernel = best_scan_kernel());

}  // namespace orvane
