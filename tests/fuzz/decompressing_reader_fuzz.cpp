// The decompressing reader against the reference decoders (zlib for gzip, zstd's one-shot API,
// whole-buffer bzip2 and xz decoding): whatever the bytes, it yields exactly the reference's
// output, or a prefix of it and an error.
#include "fuzz_support.hpp"

#include <bzlib.h>
#include <lzma.h>
#include <zlib.h>
#include <zstd.h>

#include <string>

namespace {

enum class Verdict { whole, damaged, unknown };

// Every member in turn; damaged when the data is, or stops inside a member. Zeros after a
// member end the data, as `gzip -t` takes them; anything after the zeros is damage.
std::string reference_gunzip(const std::string& data, Verdict& verdict) {
    std::string out;
    std::size_t at = 0;
    verdict = Verdict::whole;
    while (at < data.size()) {
        if (at > 0 && data[at] == '\0') {
            verdict = data.find_first_not_of('\0', at) == std::string::npos ? Verdict::whole : Verdict::damaged;
            break;
        }
        z_stream stream{};
        inflateInit2(&stream, 16 + MAX_WBITS);
        stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data() + at));
        stream.avail_in = static_cast<uInt>(data.size() - at);
        int status = Z_OK;
        char buffer[65536];
        while (status == Z_OK) {
            stream.next_out = reinterpret_cast<Bytef*>(buffer);
            stream.avail_out = sizeof buffer;
            status = inflate(&stream, Z_NO_FLUSH);
            out.append(buffer, sizeof buffer - stream.avail_out);
            if (status == Z_BUF_ERROR && stream.avail_in > 0) {
                status = Z_OK;
            }
        }
        at = data.size() - stream.avail_in;
        // Reserved header flags: zlib refuses them, ISA-L reads past them; neither is wrong.
        const bool reserved_flags = stream.msg != nullptr && std::string(stream.msg) == "unknown header flags set";
        inflateEnd(&stream);
        if (status != Z_STREAM_END) {
            verdict = reserved_flags ? Verdict::unknown : Verdict::damaged;
            break;
        }
    }
    return out;
}

// Stream after stream, the whole input at once; damaged when a stream is, or stops early, or
// something that is no stream follows one.
std::string reference_bunzip2(const std::string& data, Verdict& verdict) {
    std::string out;
    std::size_t at = 0;
    verdict = Verdict::whole;
    while (at < data.size()) {
        bz_stream stream{};
        BZ2_bzDecompressInit(&stream, 0, 0);
        stream.next_in = const_cast<char*>(data.data() + at);
        stream.avail_in = static_cast<unsigned>(data.size() - at);
        int status = BZ_OK;
        char buffer[65536];
        while (status == BZ_OK) {
            stream.next_out = buffer;
            stream.avail_out = sizeof buffer;
            status = BZ2_bzDecompress(&stream);
            out.append(buffer, sizeof buffer - stream.avail_out);
            if (status == BZ_OK && stream.avail_in == 0 && stream.avail_out == sizeof buffer) {
                status = BZ_UNEXPECTED_EOF;
            }
        }
        at = data.size() - stream.avail_in;
        BZ2_bzDecompressEnd(&stream);
        if (status != BZ_STREAM_END) {
            verdict = Verdict::damaged;
            break;
        }
    }
    return out;
}

// Every stream and its padding, as xz -d reads a file.
std::string reference_unxz(const std::string& data, Verdict& verdict) {
    std::string out;
    lzma_stream stream = LZMA_STREAM_INIT;
    if (lzma_stream_decoder(&stream, UINT64_MAX, LZMA_CONCATENATED) != LZMA_OK) {
        verdict = Verdict::unknown;
        return out;
    }
    stream.next_in = reinterpret_cast<const std::uint8_t*>(data.data());
    stream.avail_in = data.size();
    lzma_ret status = LZMA_OK;
    std::uint8_t buffer[65536];
    while (status == LZMA_OK) {
        stream.next_out = buffer;
        stream.avail_out = sizeof buffer;
        status = lzma_code(&stream, LZMA_FINISH);
        out.append(reinterpret_cast<const char*>(buffer), sizeof buffer - stream.avail_out);
    }
    lzma_end(&stream);
    verdict = status == LZMA_STREAM_END ? Verdict::whole : Verdict::damaged;
    return out;
}

// Frames the one-shot API cannot size (skippable, unknown or huge content) leave it unknown.
std::string reference_unzstd(const std::string& data, Verdict& verdict) {
    std::string out;
    std::size_t at = 0;
    verdict = Verdict::whole;
    while (at < data.size()) {
        const std::size_t frame = ZSTD_findFrameCompressedSize(data.data() + at, data.size() - at);
        if (ZSTD_isError(frame) != 0) {
            verdict = Verdict::damaged;
            break;
        }
        const unsigned long long content = ZSTD_getFrameContentSize(data.data() + at, frame);
        if (content == ZSTD_CONTENTSIZE_ERROR || content == ZSTD_CONTENTSIZE_UNKNOWN || content > (1U << 24)) {
            verdict = Verdict::unknown;
            break;
        }
        std::string piece(content, '\0');
        const std::size_t got = ZSTD_decompress(piece.data(), piece.size(), data.data() + at, frame);
        if (ZSTD_isError(got) != 0) {
            verdict = Verdict::damaged;
            break;
        }
        out.append(piece.data(), got);
        at += frame;
    }
    return out;
}

// A file that begins as BGZF is read as one: members of any other kind after the first, or block
// sizes that do not tile the file, which no tool writes, are refused where zlib may read them.
unsigned char byte_at(const std::string& data, std::size_t at) { return static_cast<unsigned char>(data[at]); }

// Whether a BGZF member's header stands at `at`.
bool bgzf_member_at(const std::string& data, std::size_t at) {
    const auto byte = [&](std::size_t offset) { return byte_at(data, offset); };
    return at + 18 <= data.size() && byte(at) == 0x1f && byte(at + 1) == 0x8b && byte(at + 2) == 8 &&
           byte(at + 3) == 4 && byte(at + 10) == 6 && byte(at + 11) == 0 && data[at + 12] == 'B' &&
           data[at + 13] == 'C' && byte(at + 14) == 2 && byte(at + 15) == 0;
}

bool mixes_bgzf_with_other_members(const std::string& data) {
    const auto byte = [&](std::size_t at) { return byte_at(data, at); };
    const auto is_bgzf = [&](std::size_t at) { return bgzf_member_at(data, at); };
    if (!is_bgzf(0)) {
        return false;
    }
    std::size_t at = 0;
    while (at < data.size()) {
        if (!is_bgzf(at)) {
            return true;
        }
        at += (std::size_t{byte(at + 16)} | std::size_t{byte(at + 17)} << 8) + 1;
    }
    return at != data.size();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzzing::Pieces parts(data, size);
    const std::uint8_t choice = parts.take_byte();
    // Half the inputs get a real header, so the decoders are reached often.
    std::string bytes = parts.take_rest();
    if (choice % 8 == 1) {
        bytes.insert(0, "\x1f\x8b\x08\x00\x00\x00\x00\x00\x00\x03", 10);
    } else if (choice % 8 == 2) {
        bytes.insert(0, "\x28\xb5\x2f\xfd", 4);
    } else if (choice % 8 == 3) {
        bytes.insert(0, "BZh9\x31\x41\x59\x26\x53\x59", 10);
    } else if (choice % 8 == 4) {
        bytes.insert(0,
                     "\xfd"
                     "7zXZ\0",
                     6);
    }
    const fuzzing::MemoryFile file(bytes);
    io::ReadBuffer reader(file.open(), fuzzing::buffer_size_for(choice >> 3), fuzzing::access_for(choice >> 3));
    std::size_t keep = 0;  // everything: the window grows to hold all that is decoded
    while (reader.refill(keep)) {
    }
    const std::string got(reader.data(), reader.end());
    Verdict verdict = Verdict::whole;
    std::string expected = bytes;
    if (bytes.starts_with("\x1f\x8b")) {
        expected = reference_gunzip(bytes, verdict);
        if (mixes_bgzf_with_other_members(bytes)) {
            verdict = Verdict::unknown;
        } else if (bgzf_member_at(bytes, 0) && verdict == Verdict::whole &&
                   bytes.find_first_not_of('\0', bytes.size() - 4) != std::string::npos) {
            // BGZF whose last member holds text: its end-of-file member is gone, so the file
            // may have been cut after a whole block, which the reader must refuse however it
            // reads the file.
            verdict = Verdict::damaged;
        }
    } else if (bytes.starts_with("\x28\xb5\x2f\xfd")) {
        expected = reference_unzstd(bytes, verdict);
    } else if (bytes.size() >= 10 && bytes.starts_with("BZh") && bytes[3] >= '1' && bytes[3] <= '9' &&
               (bytes.compare(4, 6, "\x31\x41\x59\x26\x53\x59") == 0 ||
                bytes.compare(4, 6, "\x17\x72\x45\x38\x50\x90") == 0)) {
        expected = reference_bunzip2(bytes, verdict);
    } else if (bytes.starts_with(std::string_view("\xfd"
                                                  "7zXZ\0",
                                                  6))) {
        expected = reference_unxz(bytes, verdict);
    }
    if (verdict == Verdict::whole) {
        fuzzing::require(got == expected && !reader.error(), "whole data decodes as the reference decodes it");
    } else if (verdict == Verdict::damaged) {
        fuzzing::require(reader.error().has_value(), "damaged data is reported");
        fuzzing::require(expected.starts_with(got) || got.starts_with(expected), "and decodes alike as far as both go");
    }
    return 0;
}
