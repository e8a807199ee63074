#include "internal.hpp"

#include <lzma.h>

#include <string>
#include <vector>

namespace codecs {

namespace {

// Decompresses every stream of the file (and the padding xz allows between them), checking
// each block's check as xz -d does; data that stops inside a stream is damage.
class XzDecoder final : public BlockDecoder {
public:
    XzDecoder(Fill fill, std::string already_read) : BlockDecoder(std::move(fill), std::move(already_read)) {
        if (lzma_stream_decoder(&stream_, UINT64_MAX, LZMA_CONCATENATED) != LZMA_OK) {
            throw std::bad_alloc();
        }
        stream_.next_in = input().data();
        stream_.avail_in = input().size();
    }
    ~XzDecoder() override { lzma_end(&stream_); }
    XzDecoder(const XzDecoder&) = delete;
    XzDecoder& operator=(const XzDecoder&) = delete;

    std::size_t read(char* into, std::size_t size) override {
        while (!done()) {
            if (stream_.avail_in == 0 && !input_ended()) {
                stream_.avail_in = fill_input(input_block);
                stream_.next_in = input().data();
                continue;
            }
            stream_.next_out = reinterpret_cast<std::uint8_t*>(into);
            stream_.avail_out = size;
            // Told that the input has ended, the decoder says whether it ended after a whole stream.
            const lzma_ret status = lzma_code(&stream_, input_ended() ? LZMA_FINISH : LZMA_RUN);
            const std::size_t produced = size - stream_.avail_out;
            if (status == LZMA_STREAM_END) {
                end();
            } else if (status != LZMA_OK) {
                fail();
            }
            if (produced > 0) {
                return produced;
            }
        }
        return 0;
    }

private:
    lzma_stream stream_ = LZMA_STREAM_INIT;
};

// One xz stream with CRC-64 checks, as the xz program writes it; on several threads, blocks are
// compressed side by side (the stream then holds several blocks, which every xz reader reads).
class XzEncoder final : public Encoder {
public:
    XzEncoder(int level, unsigned threads) : output_(input_block) {
        lzma_ret status = LZMA_OK;
        if (threads > 1) {
            lzma_mt options{};
            options.threads = threads;
            options.preset = static_cast<std::uint32_t>(level);
            options.check = LZMA_CHECK_CRC64;
            status = lzma_stream_encoder_mt(&stream_, &options);
        } else {
            status = lzma_easy_encoder(&stream_, static_cast<std::uint32_t>(level), LZMA_CHECK_CRC64);
        }
        if (status != LZMA_OK) {
            throw std::bad_alloc();
        }
    }
    ~XzEncoder() override { lzma_end(&stream_); }
    XzEncoder(const XzEncoder&) = delete;
    XzEncoder& operator=(const XzEncoder&) = delete;

    bool compress(const char* data, std::size_t size, const Write& write) override {
        stream_.next_in = reinterpret_cast<const std::uint8_t*>(data);
        stream_.avail_in = size;
        while (stream_.avail_in > 0) {
            if (run(LZMA_RUN, write) != LZMA_OK) {
                return false;
            }
        }
        return true;
    }

    bool finish(const Write& write) override {
        stream_.next_in = nullptr;
        stream_.avail_in = 0;
        for (;;) {
            const lzma_ret status = run(LZMA_FINISH, write);
            if (status != LZMA_OK) {
                return status == LZMA_STREAM_END;
            }
        }
    }

    std::string failure() const override { return failure_; }

private:
    lzma_ret run(lzma_action action, const Write& write) {
        stream_.next_out = output_.data();
        stream_.avail_out = output_.size();
        const lzma_ret status = lzma_code(&stream_, action);
        write(reinterpret_cast<const char*>(output_.data()), output_.size() - stream_.avail_out);
        if (status != LZMA_OK && status != LZMA_STREAM_END) {
            failure_ = "xz: compression failed (" + std::to_string(static_cast<int>(status)) + ")";
        }
        return status;
    }

    lzma_stream stream_ = LZMA_STREAM_INIT;
    std::vector<std::uint8_t> output_;
    std::string failure_;
};

}  // namespace

std::unique_ptr<Decoder> xz_decoder(Fill fill, std::string already_read) {
    return std::make_unique<XzDecoder>(std::move(fill), std::move(already_read));
}

std::unique_ptr<Encoder> xz_encoder(int level, unsigned threads) { return std::make_unique<XzEncoder>(level, threads); }

}  // namespace codecs
