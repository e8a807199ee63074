#include "talmiro/records/fasta_records.hpp"

#include <utility>

namespace talmiro {

namespace {

// Passes over what stands before the first record's header line: the first byte, taken for its
// '>' whatever it is, or blank lines and then the '>' that follows them.
void skip_to_first_record(io::ReadBuffer& input) {
    // Look past whole blank lines, keeping everything from the start should no '>' follow them.
    std::size_t start = input.pos();
    std::size_t at = start;
    std::size_t after_blank_lines = start;
    for (;;) {
        if (at == input.end()) {
            const std::size_t seen = at - start;
            const std::size_t lines = after_blank_lines - start;
            if (!input.refill(start)) {
                break;
            }
            at = start + seen;
            after_blank_lines = start + lines;
            continue;
        }
        const char c = input.data()[at];
        if (c == '\n') {
            after_blank_lines = ++at;
        } else if (c == ' ' || c == '\t' || c == '\r') {
            ++at;
        } else {
            break;
        }
    }
    if (after_blank_lines > start && after_blank_lines < input.end() && input.data()[after_blank_lines] == '>') {
        input.set_pos(after_blank_lines + 1);
    } else if (start < input.end()) {
        input.set_pos(start + 1);  // the first byte, taken for the first record's '>'
    } else {
        input.set_pos(start);
    }
}

}  // namespace

FastaScanner::FastaScanner(io::ReadBuffer input) : reader_(std::move(input)) { skip_to_first_record(reader_.window()); }

bool FastaScanner::next(std::size_t most, HeaderLine& header) {
    if (reader_.at_end_of_file()) {
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
