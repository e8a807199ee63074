#include "talmiro/records/fastq_records.hpp"

#include "io/line_reader.hpp"
#include "text/printable.hpp"
#include "text/quoting.hpp"

#include <algorithm>
#include <bit>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace talmiro {

namespace {

bool is_blank_line(std::string_view line) { return line.find_first_not_of(" \t\r") == std::string_view::npos; }

std::string byte_named(char byte) {
    if (byte == ' ') {
        return "a blank";
    }
    if (byte == '\t') {
        return "a tab";
    }
    static constexpr char digits[] = "0123456789abcdef";
    const auto value = static_cast<unsigned char>(byte);
    return std::string("the byte 0x") + digits[value >> 4] + digits[value & 15];
}

std::string count_of(std::uint64_t count, std::string_view what) {
    return std::to_string(count) + " " + std::string(what) + (count == 1 ? "" : "s");
}

}  // namespace

void FastqScanner::index_line_breaks(std::size_t from) {
    constexpr std::size_t stretch = std::size_t{64} << 10;
    const char* const data = input_.data();
    const std::size_t end = std::min(input_.end(), from + stretch);
    breaks_.clear();
    next_break_ = 0;
    std::size_t at = from;
#if defined(__SSE2__)
    // Sixty-four bytes a step: one bit per byte that is a line break, then one entry per bit.
    const __m128i line_break = _mm_set1_epi8('\n');
    for (; at + 64 <= end; at += 64) {
        std::uint64_t bits = 0;
        for (int part = 0; part < 4; ++part) {
            const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + at + 16 * part));
            bits |= std::uint64_t{static_cast<std::uint16_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, line_break)))}
                    << (16 * part);
        }
        for (; bits != 0; bits &= bits - 1) {
            breaks_.push_back(at + static_cast<std::size_t>(std::countr_zero(bits)));
        }
    }
#endif
    for (; at < end; ++at) {
        if (data[at] == '\n') {
            breaks_.push_back(at);
        }
    }
    indexed_to_ = end;
}

std::size_t FastqScanner::line_end(std::size_t& from) {
    for (;;) {
        while (next_break_ < breaks_.size() && breaks_[next_break_] < from) {
            ++next_break_;
        }
        if (next_break_ < breaks_.size()) {
            return breaks_[next_break_];
        }
        if (std::max(from, indexed_to_) < input_.end()) {
            index_line_breaks(std::max(from, indexed_to_));
            if (input_.settle()) {
                // The file shrank under the scan: what lay past its new end was never its text.
                while (!breaks_.empty() && breaks_.back() >= input_.end()) {
                    breaks_.pop_back();
                }
                indexed_to_ = std::min(indexed_to_, input_.end());
            }
            continue;
        }
        std::size_t keep = std::min(record_start_, from);
        const std::size_t before = keep;
        input_.set_pos(input_.end());
        const bool more = input_.refill(keep);
        // A copied window moves what it keeps to its start: every offset moves with it.
        const std::size_t moved = before - keep;
        record_start_ -= std::min(record_start_, moved);
        from -= moved;
        indexed_to_ -= std::min(indexed_to_, moved);
        breaks_.clear();
        next_break_ = 0;
        if (!more) {
            return no_line_break;
        }
    }
}

bool FastqScanner::next(std::size_t, HeaderLine& header) {
    while (!ended_) {
        std::size_t from = input_.pos();
        record_start_ = from;
        const std::size_t stop = line_end(from);
        const std::size_t end = stop == no_line_break ? input_.end() : stop;
        const std::string_view line(input_.data() + from, end - from);
        if (is_blank_line(line)) {
            // Blank lines between records, and at the end, belong to no record.
            ended_ = stop == no_line_break;
            input_.set_pos(stop == no_line_break ? end : stop + 1);
            lines_ += stop == no_line_break ? 0 : 1;
            continue;
        }
        if (input_.file_offset(from) == stop_at_) {
            stopped_ = true;
            ended_ = true;
            input_.set_pos(from);
            return false;
        }
        if (line.front() != '@') {
            fail("a FASTQ record must begin with '@', not " + text::quoted(line.substr(0, 20)), lines_ + 1);
            return false;
        }
        record_start_ = from + 1;
        header_size_ = end - record_start_;
        input_.set_pos(stop == no_line_break ? end : stop + 1);
        ++records_;
        header = HeaderLine{io::without_carriage_return(line.substr(1)), true};
        return true;
    }
    return false;
}

bool FastqScanner::read_rest() {
    std::uint64_t line = lines_ + 1;  // the header's
    std::size_t at = input_.pos();
    std::uint64_t bases = 0;
    // Sequence lines, up to the '+' line.
    for (;;) {
        const std::size_t stop = line_end(at);
        const std::size_t end = stop == no_line_break ? input_.end() : stop;
        if (at == end && stop == no_line_break) {
            fail("FASTQ record " + record_name() + " is cut short before its '+' line", line);
            return false;
        }
        const std::string_view text = io::without_carriage_return({input_.data() + at, end - at});
        ++line;
        at = stop == no_line_break ? end : stop + 1;
        if (!text.empty() && text.front() == '+') {
            if (!repeats_the_title(text, line)) {
                return false;
            }
            break;
        }
        if (!text.empty() && text.front() == '@') {
            fail("FASTQ record " + record_name() + " has no '+' line before the next header", line);
            return false;
        }
        if (!holds_only_letters(text, "sequence", line)) {
            return false;
        }
        bases += text.size();
    }
    // Quality lines, until they are as long as the sequence. An empty sequence has an empty
    // quality line, where one follows.
    std::uint64_t quality = 0;
    bool first = true;
    while (quality < bases || (first && bases == 0)) {
        const std::size_t stop = line_end(at);
        const std::size_t end = stop == no_line_break ? input_.end() : stop;
        const std::string_view text = io::without_carriage_return({input_.data() + at, end - at});
        if (bases == 0 && (!text.empty() || (at == end && stop == no_line_break))) {
            break;  // no empty quality line: the next record, or the end
        }
        if (at == end && stop == no_line_break) {
            fail("FASTQ record " + record_name() + " is cut short: " + count_of(quality, "quality character") +
                     " for " + count_of(bases, "base"),
                 line);
            return false;
        }
        if (quality > 0 && quality + text.size() > bases && text.front() == '@') {
            break;  // the next header, after a quality line too short
        }
        ++line;
        at = stop == no_line_break ? end : stop + 1;
        if (!holds_only_letters(text, "quality", line)) {
            return false;
        }
        quality += text.size();
        first = false;
    }
    if (quality != bases) {
        fail("FASTQ record " + record_name() + " has " + count_of(quality, "quality character") + " for " +
                 count_of(bases, "base"),
             line);
        return false;
    }
    input_.set_pos(at);
    lines_ = line;
    return true;
}

void FastqScanner::take(RecordSink& sink) {
    if (read_rest()) {
        sink.add({input_.data() + record_start_, input_.pos() - record_start_});
        sink.end_record();
    }
}

void FastqScanner::skip() { static_cast<void>(read_rest()); }

bool FastqScanner::holds_only_letters(std::string_view text, std::string_view what, std::uint64_t line) {
    if (checks_ == Checks::lenient) {
        return true;
    }
    const std::size_t bad = text::first_unprintable(text);
    if (bad == std::string_view::npos) {
        return true;
    }
    fail("FASTQ record " + record_name() + ": its " + std::string(what) + " holds " + byte_named(text[bad]) +
             " (only '!' to '~' may stand there)",
         line);
    return false;
}

bool FastqScanner::repeats_the_title(std::string_view plus_line, std::uint64_t line) {
    const std::string_view header = io::without_carriage_return({input_.data() + record_start_, header_size_});
    if (checks_ == Checks::lenient || plus_line.size() == 1 || plus_line.substr(1) == header) {
        return true;
    }
    fail("FASTQ record " + record_name() + ": its '+' line repeats another title than its header's", line);
    return false;
}

void FastqScanner::absorb(const FastqScanner& later) {
    records_ += later.records_;
    if (!malformed_) {
        // A failure of the later part is met, in one pass, after every line of this one.
        if (std::optional<io::IoError> failure = later.input_.read_failure()) {
            malformed_ = std::move(failure);
        } else if (later.malformed_) {
            malformed_ = later.malformed_;
            malformed_->line += malformed_->line > 0 ? lines_ : 0;
        }
    }
    lines_ += later.lines_;
}

void FastqScanner::fail(std::string problem, std::uint64_t line) {
    malformed_ = io::IoError::bad_content(input_.name(), std::move(problem), line);
    ended_ = true;
}

std::string FastqScanner::record_name() const {
    const std::string_view header = io::without_carriage_return({input_.data() + record_start_, header_size_});
    return text::quoted(header.substr(0, std::min(header.find_first_of(" \t"), std::size_t{80})));
}

}  // namespace talmiro
