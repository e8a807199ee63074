#include "internal.hpp"

#include <zstd.h>

#include <optional>
#include <string>
#include <vector>

namespace codecs {

namespace {

// Decompresses frame after frame; ZSTD_decompressStream moves on to the next frame by itself.
class ZstdDecoder final : public BlockDecoder {
public:
    ZstdDecoder(Fill fill, std::string already_read)
        : BlockDecoder(std::move(fill), std::move(already_read)), context_(ZSTD_createDCtx()) {
        buffer_ = {input().data(), input().size(), 0};
        if (context_ == nullptr) {
            throw std::bad_alloc();
        }
    }
    ~ZstdDecoder() override { ZSTD_freeDCtx(context_); }
    ZstdDecoder(const ZstdDecoder&) = delete;
    ZstdDecoder& operator=(const ZstdDecoder&) = delete;

    std::size_t read(char* into, std::size_t size) override {
        while (!done()) {
            if (buffer_.pos == buffer_.size && !input_ended()) {
                const std::size_t got = fill_input(ZSTD_DStreamInSize());
                buffer_ = {input().data(), got, 0};
                continue;
            }
            if (buffer_.pos == buffer_.size && frame_complete_) {
                end();  // the data ends after a whole frame
                break;
            }
            ZSTD_outBuffer output{into, size, 0};
            const std::size_t status = ZSTD_decompressStream(context_, &output, &buffer_);
            if (ZSTD_isError(status) != 0) {
                fail();
                break;
            }
            frame_complete_ = status == 0;
            if (output.pos > 0) {
                return output.pos;
            }
            if (buffer_.pos == buffer_.size && input_ended() && !frame_complete_) {
                fail();  // the data stops inside a frame
            }
        }
        return 0;
    }

private:
    ZSTD_DCtx* context_;
    ZSTD_inBuffer buffer_{};
    bool frame_complete_ = true;  // nothing begun yet; an empty file is no zstd file anyway
};

class ZstdEncoder final : public Encoder {
public:
    ZstdEncoder(int level, unsigned threads) : context_(ZSTD_createCCtx()), output_(ZSTD_CStreamOutSize()) {
        if (context_ == nullptr) {
            throw std::bad_alloc();
        }
        ZSTD_CCtx_setParameter(context_, ZSTD_c_compressionLevel, level);
        if (threads > 1) {
            // Workers beside this thread; a libzstd built without them keeps to this one.
            ZSTD_CCtx_setParameter(context_, ZSTD_c_nbWorkers, static_cast<int>(threads));
        }
        // As the zstd program writes frames: without the checksum, damage inside a frame can
        // decode to other text that no reader could tell from ours.
        ZSTD_CCtx_setParameter(context_, ZSTD_c_checksumFlag, 1);
    }
    ~ZstdEncoder() override { ZSTD_freeCCtx(context_); }
    ZstdEncoder(const ZstdEncoder&) = delete;
    ZstdEncoder& operator=(const ZstdEncoder&) = delete;

    bool compress(const char* data, std::size_t size, const Write& write) override {
        ZSTD_inBuffer input{data, size, 0};
        while (input.pos < input.size) {
            if (!run(input, ZSTD_e_continue, write)) {
                return false;
            }
        }
        return true;
    }

    bool finish(const Write& write) override {
        ZSTD_inBuffer input{nullptr, 0, 0};
        for (;;) {
            const std::optional<std::size_t> left = run(input, ZSTD_e_end, write);
            if (!left || *left == 0) {
                return left.has_value();
            }
        }
    }

    std::string failure() const override { return failure_; }

private:
    // What is left to flush; nothing once the codec failed (which would otherwise loop for ever
    // on input it never takes, or end the frame early without a word).
    std::optional<std::size_t> run(ZSTD_inBuffer& input, ZSTD_EndDirective directive, const Write& write) {
        ZSTD_outBuffer output{output_.data(), output_.size(), 0};
        const std::size_t left = ZSTD_compressStream2(context_, &output, &input, directive);
        if (ZSTD_isError(left) != 0) {
            failure_ = std::string("zstd: ") + ZSTD_getErrorName(left);
            return std::nullopt;
        }
        write(output_.data(), output.pos);
        return left;
    }

    ZSTD_CCtx* context_;
    std::vector<char> output_;
    std::string failure_;
};

}  // namespace

std::unique_ptr<Decoder> zstd_decoder(Fill fill, std::string already_read) {
    return std::make_unique<ZstdDecoder>(std::move(fill), std::move(already_read));
}

std::unique_ptr<Encoder> zstd_encoder(int level, unsigned threads) {
    return std::make_unique<ZstdEncoder>(level, threads);
}

}  // namespace codecs
