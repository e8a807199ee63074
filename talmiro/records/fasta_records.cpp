#include "talmiro/records/fasta_records.hpp"

#include <utility>

namespace talmiro {

namespace {

// What stands before the first record: whole blank lines (kept, and counted, in the window),
// then the first byte of what follows, if anything does.
struct Leading {
    std::size_t blank_end = 0;  // where the blank lines end
    std::uint64_t lines = 0;    // how many there are
    bool marker = false;        // a '>' follows them
    bool only_blanks = false;   // and nothing but blanks follows them
};

Leading look_past_blank_lines(io::ReadBuffer& input) {
    std::size_t start = input.pos();
    std::size_t at = start;
    Leading leading{start, 0, false};
    for (;;) {
        if (at == input.end()) {
            const std::size_t seen = at - start;
            const std::size_t blank = leading.blank_end - start;
            if (!input.refill(start)) {
                break;
            }
            at = start + seen;
            leading.blank_end = start + blank;
            continue;
        }
        const char c = input.data()[at];
        if (c == '\n') {
            leading.blank_end = ++at;
            ++leading.lines;
        } else if (c == ' ' || c == '\t' || c == '\r') {
            ++at;
        } else {
            break;
        }
    }
    leading.marker = leading.blank_end < input.end() && input.data()[leading.blank_end] == '>';
    leading.only_blanks = at == input.end();
    return leading;
}

}  // namespace

FastaScanner::FastaScanner(io::ReadBuffer input, Checks checks) : reader_(std::move(input)), checks_(checks) {
    io::ReadBuffer& window = reader_.window();
    const Leading leading = look_past_blank_lines(window);
    if (leading.marker) {
        window.set_pos(leading.blank_end + 1);
        return;
    }
    if (leading.only_blanks) {
        window.set_pos(window.end());  // no record
        return;
    }
    window.set_pos(leading.blank_end);
    if (checks == Checks::strict) {
        malformed_ = io::IoError::bad_content(window.name(), "text before the first record's '>' is no record",
                                              leading.lines + 1);
        window.set_pos(window.end());
        return;
    }
    // As Biopython's reader does: lines up to the first that begins with '>' are passed over.
    const auto nothing = [](std::string_view) {};
    while (!reader_.at_end_of_file()) {
        reader_.pass_through('\n', nothing);
        if (window.peek(1).starts_with('>')) {
            window.set_pos(window.pos() + 1);
            return;
        }
    }
}

bool FastaScanner::next(std::size_t most, HeaderLine& header) {
    if (reader_.at_end_of_file() || malformed_ || stopped_) {
        return false;
    }
    // The window stands just past the record's '>'.
    if (stop_at_ != UINT64_MAX && reader_.window().file_offset(reader_.window().pos()) == stop_at_ + 1) {
        stopped_ = true;
        return false;
    }
    header_ = reader_.take_until_at_most('\n', most, whole_);
    // A file that ends at a '>', or is empty, gives one last empty line: no record.
    if (reader_.at_end_of_file() && header_.empty()) {
        return false;
    }
    line_break_ = whole_ && !reader_.at_end_of_file();
    header = HeaderLine{whole_ ? io::without_carriage_return(header_) : header_, whole_};
    ++records_;
    return true;
}

void FastaScanner::absorb(const FastaScanner& later) {
    records_ += later.records_;
    if (!malformed_) {
        malformed_ = later.reader_.window().read_failure();
    }
}

void FastaScanner::take(RecordSink& sink) {
    // The line break is handed on as the byte in the window, so a mapped file's pieces stay
    // consecutive bytes of the file.
    sink.add(std::string_view(header_.data(), header_.size() + (line_break_ ? 1 : 0)));
    const auto add = [&](std::string_view piece) {
        if (!piece.empty()) {
            sink.add(piece);
        }
    };
    if (!whole_) {
        reader_.pass_through('\n', add);
    }
    reader_.pass_until('>', add);
    sink.end_record();
}

void FastaScanner::skip() {
    const auto nothing = [](std::string_view) {};
    if (!whole_) {
        reader_.pass_until('\n', nothing);
    }
    reader_.pass_until('>', nothing);
}

}  // namespace talmiro
