// Where a reader's bytes come from: the file itself, or its decoder when it is compressed.
#pragma once

#include "io/input_file.hpp"

#include <functional>
#include <memory>
#include <string_view>

namespace io {

// Where a reader's bytes come from. A file stored as is reads straight from the file (and can be
// mapped); a compressed file will read through its decoder, chosen by the file's first bytes.
class ByteSource {
public:
    virtual ~ByteSource() = default;
    // Up to `size` bytes; 0 at the end, or after an error that error() then keeps.
    virtual std::size_t read(char* into, std::size_t size) = 0;
    virtual const std::optional<IoError>& error() const = 0;
    // The file itself when its bytes are the text (so it may be mapped), else null.
    virtual const InputFile* plain_file() const = 0;
    // The file's name, for messages.
    virtual const std::string& name() const = 0;
};

// Who decodes a compressed stream: a helper thread a few blocks ahead of the reader, so that
// decoding and scanning share two cores; or the reader itself, where every core already has a
// reader of its own (read pairs, one thread an input) and a helper each would only take turns
// with them and copy every byte once more.
enum class Decoding { ahead, by_reader };

// The source for an opened file, recognised by its first bytes. (BGZF is inflated on helpers
// of its own either way.)
std::unique_ptr<ByteSource> open_source(InputFile file, Decoding decoding = Decoding::ahead);

// `inner`, every byte it gives handed to `tap` too, in order, read (and tapped) a few blocks
// ahead on a helper thread where one can be had. It names no plain file, so that a reader
// copies its bytes (and the tap sees them) rather than mapping them.
std::unique_ptr<ByteSource> tapped(std::unique_ptr<ByteSource> inner, std::function<void(std::string_view)> tap);

}  // namespace io
