// A buffered cursor over a whitespace-separated text file that reads tokens, integers and
// floating-point numbers exactly as formatted stream extraction in the "C" locale does, at
// a fraction of its cost.
#pragma once

#include "io.hpp"

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace orvane {

class TokenReader {
public:
    static constexpr std::size_t default_buffer_size = io::ReadBuffer::default_size;

    explicit TokenReader(io::InputFile file, std::size_t buffer_size = default_buffer_size,
                         io::ReadBuffer::Access access = io::ReadBuffer::Access::mapped_when_possible);

    // Each read below fails when the input has no more to give or the text is no such value;
    // like a stream, the reader then stays failed and every later read fails too.
    bool failed() const { return failed_; }

    // Why the reader failed: the end of the input, a read error (see input().error()), or a
    // text that is no number of the kind asked for.
    enum class Stop { none, end_of_input, read_error, no_number };
    Stop stop() const { return stop_; }
    const io::ReadBuffer& input() const { return input_; }

    // The next whitespace-delimited token, whole whatever its length. The view lasts until the
    // next read. Empty (and failed) when no token is left.
    std::string_view take_token();

    // Passes over the next token without looking at it.
    bool skip_token();

    // Passes over the next `count` tokens, as `count` calls of skip_token would, but scanning
    // 64 bytes at a time. False (and failed) when the input ends first.
    bool skip_tokens(std::uint64_t count);

    // A signed decimal integer as `stream >> int` takes it: a value outside 32 bits fails.
    // On failure `value` is 0.
    bool read_int32(std::int32_t& value);

    // A number as `stream >> float` takes it: optional sign, digits, one point, exponent; a
    // value too large for a float fails, one too small rounds towards zero. Characters after
    // the number (junk glued to it) stay for the next read.
    bool read_float(float& value);

    // `count` numbers into `into`, as `count` calls of read_float; false at the first failure.
    bool read_floats(float* into, std::size_t count);

private:
    static constexpr int end_of_input = -1;

    int peek();
    void advance() { input_.set_pos(input_.pos() + 1); }
    bool skip_whitespace();
    // Moves the cursor past non-blank bytes, keeping the bytes from `*keep` on (none when
    // null) across refills; false when it stopped at the end of the file.
    bool skip_to_blank(std::size_t* keep);
    void fail(Stop why);

    io::ReadBuffer input_;
    bool failed_ = false;
    Stop stop_ = Stop::none;
};

// True for the bytes the classic locale counts as blanks: space, \t, \n, \v, \f, \r.
constexpr bool is_blank(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

}  // namespace orvane
