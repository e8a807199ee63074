// A cursor over a text file that reads up to a delimiter, as bounded delimited stream reads
// do, with no bound: lines and sequence texts of any length.
#pragma once

#include "io/read_buffer.hpp"

#include <cstring>
#include <optional>
#include <string_view>
#include <utility>

namespace io {

// A carriage return that ends a line belongs to the line break, not to the text.
constexpr std::string_view without_carriage_return(std::string_view line) {
    return !line.empty() && line.back() == '\r' ? line.substr(0, line.size() - 1) : line;
}

class LineReader {
public:
    explicit LineReader(InputFile file, std::size_t buffer_size = ReadBuffer::default_size,
                        ReadBuffer::Access access = ReadBuffer::Access::mapped_when_possible);
    // Reads on from a window already opened (and perhaps peeked at).
    explicit LineReader(ReadBuffer input) : input_(std::move(input)) {}

    // Set once a read has met the end of the file, as a stream's end-of-file state is.
    bool at_end_of_file() const { return at_end_of_file_; }

    // Passes over a UTF-8 byte order mark at the very start.
    void skip_byte_order_mark() { input_.skip_byte_order_mark(); }

    // Why the input ended early, when a read failed.
    const std::optional<IoError>& error() const { return input_.error(); }
    const ReadBuffer& input() const { return input_; }
    // For a format's own look at what comes next (where a record begins, say).
    ReadBuffer& window() { return input_; }
    const ReadBuffer& window() const { return input_; }

    // The text up to `delimiter` (consumed, not included), whole and in one piece; valid until
    // the next read. At the end of the file: the rest, possibly empty.
    std::string_view take_until(char delimiter);

    // The text up to `delimiter` as take_until gives it when it has at most `most` bytes (then
    // `whole` is true). A longer text gives its first `most` bytes and leaves the rest unread, so
    // that a line nobody needs whole costs no memory however long it is.
    std::string_view take_until_at_most(char delimiter, std::size_t most, bool& whole);

    // Hands the text up to `delimiter` (consumed, not included) to `sink` in pieces, without
    // copying it anywhere; a text nobody wants costs only the scan.
    template <typename Sink>
    void pass_until(char delimiter, Sink&& sink) {
        pass(delimiter, false, sink);
    }
    // The same, with the delimiter handed on too as the last piece's last byte (where one came).
    template <typename Sink>
    void pass_through(char delimiter, Sink&& sink) {
        pass(delimiter, true, sink);
    }

private:
    template <typename Sink>
    void pass(char delimiter, bool with_delimiter, Sink& sink);

    ReadBuffer input_;
    bool at_end_of_file_ = false;
};

template <typename Sink>
void LineReader::pass(char delimiter, bool with_delimiter, Sink& sink) {
    for (;;) {
        const char* const window = input_.data() + input_.pos();
        const std::size_t size = input_.end() - input_.pos();
        const void* const found = size > 0 ? std::memchr(window, delimiter, size) : nullptr;
        if (input_.settle()) {
            continue;  // the file shrank under the scan: scan again up to its new end
        }
        if (found != nullptr) {
            const auto length = static_cast<std::size_t>(static_cast<const char*>(found) - window);
            sink(std::string_view(window, length + (with_delimiter ? 1 : 0)));
            input_.set_pos(input_.pos() + length + 1);
            return;
        }
        if (size > 0) {
            sink(std::string_view(window, size));
        }
        input_.set_pos(input_.end());
        if (!input_.refill()) {
            at_end_of_file_ = true;
            return;
        }
    }
}

}  // namespace io
