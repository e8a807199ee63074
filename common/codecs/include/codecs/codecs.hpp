// The compressed forms an input may take and an output may be written in. Private to the I/O
// layer, and knowing nothing of files: a decoder pulls compressed bytes through a function and
// gives back the text, and says when the data was damaged; the I/O layer names the file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace codecs {

enum class Format { plain, gzip, bgzf, zstd, bzip2, xz };

// The first bytes that tell every format apart (a BGZF header is the longest).
constexpr std::size_t detection_bytes = 18;

// Recognised by the first bytes, never by the name: gzip 1f 8b, zstd 28 b5 2f fd, bzip2 "BZh"
// and a block's (or the empty stream's) magic, xz fd "7zXZ" 00. BGZF (gzip whose first member's
// header gives the member's size) only when `from_the_start`: its members are read from the
// file's own start, which a pipe cannot give again.
Format format_of(std::string_view first_bytes, bool from_the_start);

// The format's name in messages: "gzip" (BGZF too), "zstd", "bzip2", "xz".
std::string_view format_label(Format format);

// How an output is compressed: the format (gzip is written as BGZF), a level within the
// codec's own range (none: the codec's usual), and the threads it may compress on.
struct Settings {
    Format format = Format::plain;
    std::optional<int> level;
    unsigned threads = 1;
};
// The levels each writable format takes, for the command line to hold a level to.
struct LevelRange {
    int least;
    int most;
};
LevelRange level_range(Format format);

// Where a decoder's compressed bytes come from: up to `size` bytes, 0 at the end of the data,
// nothing when they could not be read (the caller keeps why).
using Fill = std::function<std::optional<std::size_t>(char* into, std::size_t size)>;

class Decoder {
public:
    virtual ~Decoder() = default;
    // Up to `size` bytes of text; 0 at the end, or once the data proved damaged.
    virtual std::size_t read(char* into, std::size_t size) = 0;
    // The data was corrupt, or stopped inside a member or frame.
    virtual bool damaged() const = 0;
};

// Every member or frame is read in turn. `already_read`: the first bytes, taken from a pipe to
// recognise the format, which come before whatever `fill` gives.
std::unique_ptr<Decoder> gzip_decoder(Fill fill, std::string already_read);
std::unique_ptr<Decoder> zstd_decoder(Fill fill, std::string already_read);
std::unique_ptr<Decoder> bzip2_decoder(Fill fill, std::string already_read);
std::unique_ptr<Decoder> xz_decoder(Fill fill, std::string already_read);
// BGZF members are independent, so helper threads (`threads` - 1 of them, at least one) inflate
// batches of them at once; `fill` gives the file from its first byte.
std::unique_ptr<Decoder> bgzf_decoder(Fill fill, unsigned threads = 3);

// What decoders share: the compressed bytes read a block at a time, and the state that ends
// the decoded bytes.
class BlockDecoder : public Decoder {
public:
    bool damaged() const override { return damaged_; }

protected:
    BlockDecoder(Fill fill, std::string already_read)
        : fill_(std::move(fill)), input_(already_read.begin(), already_read.end()) {}

    // The next block of compressed bytes into input(); 0 at their end or after a read failure,
    // which ends the decoded bytes at once.
    std::size_t fill_input(std::size_t block) {
        input_.resize(block);
        const std::optional<std::size_t> got = fill_(reinterpret_cast<char*>(input_.data()), input_.size());
        input_.resize(got.value_or(0));
        input_ended_ = input_.empty();
        done_ = done_ || !got;
        return input_.size();
    }
    void fail() {
        damaged_ = true;
        done_ = true;
    }
    std::vector<std::uint8_t>& input() { return input_; }
    bool input_ended() const { return input_ended_; }
    bool done() const { return done_; }
    void end() { done_ = true; }

private:
    Fill fill_;
    std::vector<std::uint8_t> input_;
    bool input_ended_ = false;
    bool done_ = false;
    bool damaged_ = false;
};

// The size of the BGZF member whose bytes begin `bytes` (at least its 18-byte header), 0 when
// they begin none.
std::size_t bgzf_member_size(std::string_view bytes);
// Inflates one whole BGZF member into `into` (replacing what it held, at most 64 KiB); false
// when the member is damaged.
bool inflate_bgzf_member(std::string_view member, std::vector<char>& into);
// How many bytes of text a whole BGZF member inflates to, as its trailer says.
std::uint32_t bgzf_member_text_size(std::string_view member);

// Compresses what an output writes; `write` takes the compressed bytes.
// False from compress() or finish() when the codec itself failed (failure() says how): the output
// is then no whole compressed file, and must not pass for one.
class Encoder {
public:
    using Write = std::function<void(const char*, std::size_t)>;
    virtual ~Encoder() = default;
    [[nodiscard]] virtual bool compress(const char* data, std::size_t size, const Write& write) = 0;
    [[nodiscard]] virtual bool finish(const Write& write) = 0;
    virtual std::string failure() const = 0;
};

// The encoder for an output so compressed, null for plain text. gzip and BGZF are written as
// BGZF (libdeflate at level 1 unless told: smaller than gzip -1 writes, at several times level
// 6's speed); zstd at 3, bzip2 at 9 and xz at 6, as their own programs write by default.
std::unique_ptr<Encoder> encoder_for(const Settings& settings);

}  // namespace codecs
