#include "internal.hpp"

#include <bzlib.h>

#include <string>
#include <vector>

namespace codecs {

namespace {

// Decompresses stream after stream, as bzip2 -d reads a file of several (pbzip2 writes one per
// block). Anything after a stream that is not another stream, or data that stops inside one, is
// damage.
class Bzip2Decoder final : public BlockDecoder {
public:
    Bzip2Decoder(Fill fill, std::string already_read) : BlockDecoder(std::move(fill), std::move(already_read)) {
        start_stream();
        stream_.next_in = reinterpret_cast<char*>(input().data());
        stream_.avail_in = static_cast<unsigned>(input().size());
    }
    ~Bzip2Decoder() override { BZ2_bzDecompressEnd(&stream_); }
    Bzip2Decoder(const Bzip2Decoder&) = delete;
    Bzip2Decoder& operator=(const Bzip2Decoder&) = delete;

    std::size_t read(char* into, std::size_t size) override {
        while (!done()) {
            if (stream_.avail_in == 0 && !input_ended()) {
                stream_.avail_in = static_cast<unsigned>(fill_input(input_block));
                stream_.next_in = reinterpret_cast<char*>(input().data());
                continue;
            }
            if (between_streams_) {
                if (stream_.avail_in == 0) {
                    end();  // the data ends after a whole stream
                    break;
                }
                BZ2_bzDecompressEnd(&stream_);
                start_stream();
            }
            stream_.next_out = into;
            stream_.avail_out = static_cast<unsigned>(std::min<std::size_t>(size, UINT32_MAX));
            const int status = BZ2_bzDecompress(&stream_);
            const std::size_t produced = static_cast<std::size_t>(stream_.next_out - into);
            if (status == BZ_STREAM_END) {
                between_streams_ = true;
            } else if (status != BZ_OK) {
                fail();
                break;
            }
            if (produced > 0) {
                return produced;
            }
            if (!between_streams_ && stream_.avail_in == 0 && input_ended()) {
                fail();  // the data stops inside a stream
            }
        }
        return 0;
    }

private:
    void start_stream() {
        char* const next_in = stream_.next_in;
        const unsigned avail_in = stream_.avail_in;
        stream_ = bz_stream{};
        if (BZ2_bzDecompressInit(&stream_, 0, 0) != BZ_OK) {
            throw std::bad_alloc();
        }
        stream_.next_in = next_in;
        stream_.avail_in = avail_in;
        between_streams_ = false;
    }

    bz_stream stream_{};
    bool between_streams_ = false;
};

// One bzip2 stream, as the bzip2 program writes it: blocks of `level` times 100 kB.
class Bzip2Encoder final : public Encoder {
public:
    explicit Bzip2Encoder(int level) : output_(input_block) {
        if (BZ2_bzCompressInit(&stream_, level, 0, 0) != BZ_OK) {
            throw std::bad_alloc();
        }
    }
    ~Bzip2Encoder() override { BZ2_bzCompressEnd(&stream_); }
    Bzip2Encoder(const Bzip2Encoder&) = delete;
    Bzip2Encoder& operator=(const Bzip2Encoder&) = delete;

    bool compress(const char* data, std::size_t size, const Write& write) override {
        stream_.next_in = const_cast<char*>(data);
        stream_.avail_in = static_cast<unsigned>(size);
        while (stream_.avail_in > 0) {
            if (!run(BZ_RUN, BZ_RUN_OK, write)) {
                return false;
            }
        }
        return true;
    }

    bool finish(const Write& write) override {
        stream_.next_in = nullptr;
        stream_.avail_in = 0;
        for (;;) {
            if (!run(BZ_FINISH, BZ_FINISH_OK, write)) {
                return ended_;
            }
        }
    }

    std::string failure() const override { return failure_; }

private:
    // One call of the codec; false once it failed, or (finishing) once the stream has ended.
    bool run(int action, int going_on, const Write& write) {
        stream_.next_out = output_.data();
        stream_.avail_out = static_cast<unsigned>(output_.size());
        const int status = BZ2_bzCompress(&stream_, action);
        write(output_.data(), output_.size() - stream_.avail_out);
        if (status == BZ_STREAM_END) {
            ended_ = true;
            return false;
        }
        if (status != going_on) {
            failure_ = "bzip2: compression failed (" + std::to_string(status) + ")";
            return false;
        }
        return true;
    }

    bz_stream stream_{};
    std::vector<char> output_;
    std::string failure_;
    bool ended_ = false;
};

}  // namespace

std::unique_ptr<Decoder> bzip2_decoder(Fill fill, std::string already_read) {
    return std::make_unique<Bzip2Decoder>(std::move(fill), std::move(already_read));
}

std::unique_ptr<Encoder> bzip2_encoder(int level) { return std::make_unique<Bzip2Encoder>(level); }

}  // namespace codecs
