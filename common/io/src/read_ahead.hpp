// Private to the I/O layer: decoding on a helper thread ahead of the reader.
#pragma once

#include "io/byte_source.hpp"

#include <memory>

namespace io {

// Runs `inner` on a helper thread a few blocks ahead of the reader, so decoding and scanning
// share the two cores; where no thread can be had, reads `inner` directly.
std::unique_ptr<ByteSource> read_ahead(std::unique_ptr<ByteSource> inner);

}  // namespace io
