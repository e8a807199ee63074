// Private to the I/O layer: the codec each output compression is written with.
#pragma once

#include "codecs/codecs.hpp"
#include "io/compression.hpp"

namespace io {

codecs::Format codec_format(Compression compression);

}  // namespace io
