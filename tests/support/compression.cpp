#include "support/compression.hpp"

#include <bzlib.h>
#include <lzma.h>
#include <zlib.h>
#include <zstd.h>

#include <algorithm>
#include <cstdint>
#include <stdexcept>

namespace testing_support {

namespace {

// One deflate stream over `text`; `window_bits` 31 for a gzip member, -15 for raw deflate.
std::string deflated(std::string_view text, int window_bits) {
    z_stream stream{};
    if (deflateInit2(&stream, 6, Z_DEFLATED, window_bits, 8, Z_DEFAULT_STRATEGY) != Z_OK) {
        throw std::runtime_error("deflateInit2");
    }
    std::string out(deflateBound(&stream, static_cast<uLong>(text.size())), '\0');
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
    stream.avail_in = static_cast<uInt>(text.size());
    stream.next_out = reinterpret_cast<Bytef*>(out.data());
    stream.avail_out = static_cast<uInt>(out.size());
    const int status = deflate(&stream, Z_FINISH);
    out.resize(stream.total_out);
    deflateEnd(&stream);
    if (status != Z_STREAM_END) {
        throw std::runtime_error("deflate");
    }
    return out;
}

void put_little_endian(std::string& out, std::uint32_t value, int bytes) {
    for (int index = 0; index < bytes; ++index) {
        out += static_cast<char>((value >> (8 * index)) & 0xFF);
    }
}

// A BGZF block: a gzip header whose extra field "BC" gives the block's size, raw deflate, then
// the CRC and the length.
std::string bgzf_block(std::string_view text) {
    const std::string data = deflated(text, -15);
    std::string block("\x1f\x8b\x08\x04\x00\x00\x00\x00\x00\xff\x06\x00\x42\x43\x02\x00", 16);
    put_little_endian(block, static_cast<std::uint32_t>(18 + data.size() + 8 - 1), 2);
    block += data;
    const auto crc = crc32(0, reinterpret_cast<const Bytef*>(text.data()), static_cast<uInt>(text.size()));
    put_little_endian(block, static_cast<std::uint32_t>(crc), 4);
    put_little_endian(block, static_cast<std::uint32_t>(text.size()), 4);
    return block;
}

std::string bgzf(std::string_view text) {
    constexpr std::size_t block_text = 60000;  // deflated, well within a block's 64 KiB
    std::string out;
    for (std::size_t at = 0; at < text.size(); at += block_text) {
        out += bgzf_block(text.substr(at, block_text));
    }
    return out + bgzf_block({});  // the end-of-file block: an empty member
}

// With the content checksum, as the zstd program writes frames: without it, damage inside a
// frame can decode to other text that nothing could tell from the original.
std::string zstd_frame(std::string_view text) {
    std::string out(ZSTD_compressBound(text.size()), '\0');
    ZSTD_CCtx* const context = ZSTD_createCCtx();
    ZSTD_CCtx_setParameter(context, ZSTD_c_compressionLevel, 3);
    ZSTD_CCtx_setParameter(context, ZSTD_c_checksumFlag, 1);
    const std::size_t size = ZSTD_compress2(context, out.data(), out.size(), text.data(), text.size());
    ZSTD_freeCCtx(context);
    if (ZSTD_isError(size) != 0) {
        throw std::runtime_error("ZSTD_compress2");
    }
    out.resize(size);
    return out;
}

std::string bzip2_stream(std::string_view text) {
    auto size = static_cast<unsigned>(text.size() + text.size() / 100 + 600);
    std::string out(size, '\0');
    if (BZ2_bzBuffToBuffCompress(out.data(), &size, const_cast<char*>(text.data()), static_cast<unsigned>(text.size()),
                                 9, 0, 0) != BZ_OK) {
        throw std::runtime_error("BZ2_bzBuffToBuffCompress");
    }
    out.resize(size);
    return out;
}

std::string xz_stream(std::string_view text) {
    std::string out(lzma_stream_buffer_bound(text.size()), '\0');
    std::size_t size = 0;
    if (lzma_easy_buffer_encode(6, LZMA_CHECK_CRC64, nullptr, reinterpret_cast<const std::uint8_t*>(text.data()),
                                text.size(), reinterpret_cast<std::uint8_t*>(out.data()), &size,
                                out.size()) != LZMA_OK) {
        throw std::runtime_error("lzma_easy_buffer_encode");
    }
    out.resize(size);
    return out;
}

}  // namespace

std::string unpacked_bzip2(std::string_view data) {
    std::string text;
    bz_stream stream{};
    std::size_t at = 0;
    while (at < data.size()) {
        stream = bz_stream{};
        BZ2_bzDecompressInit(&stream, 0, 0);
        stream.next_in = const_cast<char*>(data.data() + at);
        stream.avail_in = static_cast<unsigned>(data.size() - at);
        int status = BZ_OK;
        char chunk[65536];
        while (status == BZ_OK) {
            stream.next_out = chunk;
            stream.avail_out = sizeof chunk;
            status = BZ2_bzDecompress(&stream);
            text.append(chunk, sizeof chunk - stream.avail_out);
            if (status == BZ_OK && stream.avail_in == 0 && stream.avail_out == sizeof chunk) {
                status = BZ_UNEXPECTED_EOF;
            }
        }
        at = data.size() - stream.avail_in;
        BZ2_bzDecompressEnd(&stream);
        if (status != BZ_STREAM_END) {
            throw std::runtime_error("damaged bzip2 data");
        }
    }
    return text;
}

std::string unpacked_xz(std::string_view data) {
    std::string text(std::size_t{1} << 26, '\0');
    std::uint64_t limit = UINT64_MAX;
    std::size_t in_at = 0;
    std::size_t out_at = 0;
    if (lzma_stream_buffer_decode(&limit, 0, nullptr, reinterpret_cast<const std::uint8_t*>(data.data()), &in_at,
                                  data.size(), reinterpret_cast<std::uint8_t*>(text.data()), &out_at,
                                  text.size()) != LZMA_OK ||
        in_at != data.size()) {
        throw std::runtime_error("damaged xz data");
    }
    text.resize(out_at);
    return text;
}

const std::vector<PackingCase>& packing_cases() {
    static const std::vector<PackingCase> cases = {
        {"gzip", Packing::gzip, "corrupt or truncated gzip data"},
        {"gzip_two_members", Packing::gzip_two_members, "corrupt or truncated gzip data"},
        {"bgzf", Packing::bgzf, "corrupt or truncated gzip data"},
        {"zstd", Packing::zstd, "corrupt or truncated zstd data"},
        {"zstd_two_frames", Packing::zstd_two_frames, "corrupt or truncated zstd data"},
        {"bzip2", Packing::bzip2, "corrupt or truncated bzip2 data"},
        {"bzip2_two_streams", Packing::bzip2_two_streams, "corrupt or truncated bzip2 data"},
        {"xz", Packing::xz, "corrupt or truncated xz data"},
        {"xz_two_streams", Packing::xz_two_streams, "corrupt or truncated xz data"},
    };
    return cases;
}

std::string packed(std::string_view text, Packing packing) {
    const std::string_view first = text.substr(0, std::min<std::size_t>(3000, text.size()));
    const std::string_view rest = text.substr(first.size());
    switch (packing) {
    case Packing::gzip:
        return deflated(text, 31);
    case Packing::gzip_two_members:
        return deflated(first, 31) + deflated(rest, 31);
    case Packing::bgzf:
        return bgzf(text);
    case Packing::zstd:
        return zstd_frame(text);
    case Packing::zstd_two_frames:
        return zstd_frame(first) + zstd_frame(rest);
    case Packing::bzip2:
        return bzip2_stream(text);
    case Packing::bzip2_two_streams:
        return bzip2_stream(first) + bzip2_stream(rest);
    case Packing::xz:
        return xz_stream(text);
    case Packing::xz_two_streams:
        return xz_stream(first) + xz_stream(rest);
    }
    return std::string(text);
}

std::string unpacked_gzip(std::string_view data) {
    std::string text;
    std::size_t at = 0;
    while (at < data.size()) {
        z_stream stream{};
        if (inflateInit2(&stream, 31) != Z_OK) {
            throw std::runtime_error("inflateInit2");
        }
        stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data() + at));
        stream.avail_in = static_cast<uInt>(data.size() - at);
        int status = Z_OK;
        char chunk[65536];
        while (status == Z_OK) {
            stream.next_out = reinterpret_cast<Bytef*>(chunk);
            stream.avail_out = sizeof chunk;
            status = inflate(&stream, Z_NO_FLUSH);
            text.append(chunk, sizeof chunk - stream.avail_out);
        }
        at += stream.total_in;
        inflateEnd(&stream);
        if (status != Z_STREAM_END) {
            throw std::runtime_error("damaged gzip data");
        }
    }
    return text;
}

std::string unpacked_zstd(std::string_view data) {
    std::string text;
    ZSTD_DCtx* const context = ZSTD_createDCtx();
    ZSTD_inBuffer input{data.data(), data.size(), 0};
    char chunk[65536];
    std::size_t status = 0;
    while (input.pos < input.size) {
        ZSTD_outBuffer output{chunk, sizeof chunk, 0};
        status = ZSTD_decompressStream(context, &output, &input);
        if (ZSTD_isError(status) != 0) {
            break;
        }
        text.append(chunk, output.pos);
    }
    ZSTD_freeDCtx(context);
    if (ZSTD_isError(status) != 0 || status != 0) {
        throw std::runtime_error("damaged zstd data");
    }
    return text;
}

}  // namespace testing_support
