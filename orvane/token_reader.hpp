// A buffered cursor over a whitespace-separated text file that reads tokens, integers and
// floating-point numbers exactly as formatted stream extraction in the "C" locale does, at
// a fraction of its cost.
#pragma once

#include "console.hpp"

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace orvane {

class TokenReader {
public:
    static constexpr std::size_t default_buffer_size = console::ReadBuffer::default_size;

    explicit TokenReader(console::InputFile file, std::size_t buffer_size = default_buffer_size,
                         console::ReadBuffer::Access access = console::ReadBuffer::Access::mapped_when_possible);

    // Each read below fails when the input has no more to give or the text is no such value;
    // like a stream, the reader then stays failed and every later read fails too.
    bool failed() const { return failed_; }

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

    // The common short decimal ("0.123456") converted in place when it lies wholly inside
    // the window; false to leave anything else to the general path, nothing consumed.
    bool read_short_decimal(float& value);

    int peek();
    void advance() { input_.set_pos(input_.pos() + 1); }
    bool skip_whitespace();
    // Moves the cursor past non-blank bytes, keeping the bytes from `*keep` on (none when
    // null) across refills; false when it stopped at the end of the file.
    bool skip_to_blank(std::size_t* keep);

    console::ReadBuffer input_;
    bool failed_ = false;
};

// True for the bytes the classic locale counts as blanks: space, \t, \n, \v, \f, \r.
constexpr bool is_blank(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

// Converts the characters that float extraction gathered (see read_float) the way the stream
// library does. Exposed for the tests.
bool convert_float_text(std::string_view text, float& value);

}  // namespace orvane
