// A buffered cursor over a whitespace-separated text file that reads tokens, integers and
// floating-point numbers exactly as formatted stream extraction in the "C" locale does, at
// a fraction of its cost.
#pragma once

#include "io/read_buffer.hpp"
#include "orvane/parse/row_names.hpp"
#include "orvane/parse/text_row.hpp"
#include "text/characters.hpp"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace orvane {

class TokenReader {
public:
    static constexpr std::size_t default_buffer_size = io::ReadBuffer::default_size;

    explicit TokenReader(io::InputFile file, std::size_t buffer_size = default_buffer_size,
                         io::ReadBuffer::Access access = io::ReadBuffer::Access::mapped_when_possible);
    // Reads on from a window already opened (and perhaps peeked at).
    explicit TokenReader(io::ReadBuffer input);

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

    // How take_name reads a row's name (tokens unless told).
    void read_names(RowNames names) { names_ = names; }
    RowNames names() const { return names_; }

    // The next row name, as read_names says, into `name` when it has at most `longest` bytes; a
    // longer one is passed over with only its first bytes kept (so memory stays bounded
    // whatever its length), and the result is false. Fails like take_token at the end of the
    // input.
    [[nodiscard]] bool take_name(std::size_t longest, std::string& name);

    // Passes over the next token without looking at it.
    [[nodiscard]] bool skip_token();

    // Passes over the next `count` tokens, as `count` calls of skip_token would, but scanning
    // 64 bytes at a time. False (and failed) when the input ends first.
    [[nodiscard]] bool skip_tokens(std::uint64_t count);

    // A signed decimal integer as `stream >> int` takes it: a value outside 32 bits fails.
    // On failure `value` is 0.
    [[nodiscard]] bool read_int32(std::int32_t& value);

    // A number as `stream >> value` takes it (float or double): optional sign, digits, one
    // point, exponent; a value too large for the type fails, one too small rounds towards zero.
    // Characters glued to the number stay for the next read, as the stream leaves them, unless
    // they are refused: then the whole token must be the number.
    enum class Glued { left, refused };
    template <typename T>
    [[nodiscard]] bool read_number(T& value, Glued glued = Glued::left);
    [[nodiscard]] bool read_float(float& value) { return read_number(value); }

    // `count` numbers into `into`, as `count` calls of read_number; false at the first failure.
    template <typename T>
    [[nodiscard]] bool read_numbers(T* into, std::size_t count, Glued glued = Glued::left);

    // While set, each number read_number takes is added to `row` as its text (as the input
    // wrote it: a value converted and written back would change); null stops that.
    void keep_texts_in(TextRow* row) { kept_ = row; }

    // For messages once a read failed: the line of the cursor, and the text there (cut short).
    std::uint64_t line() const { return input_.line_at(input_.pos()); }
    std::string_view text_at_cursor();

    // Where the cursor stands, and back to such a place (clearing a failure): only for a mapped
    // input, whose bytes stay where they are.
    std::size_t cursor() const { return input_.pos(); }
    void return_to(std::size_t cursor);

    // Passes over a UTF-8 byte order mark at the very start.
    void skip_byte_order_mark() { input_.skip_byte_order_mark(); }

private:
    static constexpr int end_of_input = -1;

    int peek();
    void advance() { input_.set_pos(input_.pos() + 1); }
    bool skip_whitespace();
    // Moves the cursor past non-blank bytes, keeping the bytes from `*keep` on (none when
    // null) across refills; false when it stopped at the end of the file.
    bool skip_to_blank(std::size_t* keep);
    void fail(Stop why);
    bool take_token_name(std::size_t longest, std::string& name);
    bool take_name_to_tab(std::size_t longest, std::string& name);
    bool take_phylip_name(std::size_t longest, std::string& name);

    io::ReadBuffer input_;
    bool failed_ = false;
    Stop stop_ = Stop::none;
    RowNames names_ = RowNames::tokens;
    TextRow* kept_ = nullptr;
};

// Keeps the texts of the numbers `reader` reads in `row` while it lives (nothing when null),
// the row emptied first.
class KeepingTexts {
public:
    KeepingTexts(TokenReader& reader, TextRow* row, std::size_t values) : reader_(reader), row_(row) {
        if (row != nullptr) {
            row->clear();
            row->reserve(values);
        }
        reader_.keep_texts_in(row);
    }
    ~KeepingTexts() {
        reader_.keep_texts_in(nullptr);
        if (row_ != nullptr) {
            row_->fit();
        }
    }
    KeepingTexts(const KeepingTexts&) = delete;
    KeepingTexts& operator=(const KeepingTexts&) = delete;

private:
    TokenReader& reader_;
    TextRow* row_;
};

using text::is_blank;

}  // namespace orvane
