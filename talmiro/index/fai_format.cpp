#include "talmiro/index/fai_format.hpp"

#include "text/line_breaks.hpp"
#include "text/printable.hpp"

#include <charconv>
#include <cstring>
#include <vector>

namespace talmiro {

void FaiLineMaker::begin(RecordFormat format, std::uint64_t text_offset) {
    std::vector<LineRun> runs = std::move(runs_);
    runs.clear();
    *this = FaiLineMaker{};
    runs_ = std::move(runs);
    format_ = format;
    at_ = text_offset;
    line_start_ = text_offset;
}

bool FaiLineMaker::take_whole_lines(std::string_view& piece) {
    const std::size_t width = static_cast<std::size_t>(line_width_);
    const std::size_t lines = piece.size() / width;
    if (lines < 2) {
        return false;
    }
    // Exactly one line break every `width` bytes, and a carriage return before each just where
    // the first line had one: then every line is the first's length, as the simple path finds.
    const std::size_t span = lines * width;
    const bool with_return = line_width_ - line_bases_ == 2;
    // Those line ends are the only bytes outside '!' to '~': there is no other line break, and
    // every line holds bases alone. One counting pass, then a look at each line's end.
    if (text::count_unprintable(piece.substr(0, span)) != lines * (with_return ? 2 : 1)) {
        return false;
    }
    for (std::size_t end = width - 1; end < span; end += width) {
        if (piece[end] != '\n' || (piece[end - 1] == '\r') != with_return) {
            return false;
        }
    }
    bases_ += lines * line_bases_;
    add_run(line_bases_, line_width_, lines);
    at_ += span;
    line_start_ = at_;
    piece.remove_prefix(span);
    return true;
}

bool FaiLineMaker::at_alike_lines() const {
    return format_ == RecordFormat::fasta && stage_ == Stage::sequence && line_bases_ > 0 && !line_has_bytes_ &&
           !short_line_seen_ && !lines_differ_ && line_width_ >= 2;
}

void FaiLineMaker::add(std::string_view piece) {
    // Most of a FASTA record is lines as long as its first: once that line is known, those are
    // taken a stretch at a time. Tried once a piece, so that lines which differ cost one look.
    bool stretch_tried = false;
    while (!piece.empty()) {
        if (!stretch_tried && at_alike_lines()) {
            stretch_tried = true;
            if (take_whole_lines(piece) && piece.empty()) {
                return;
            }
        }
        if (!line_has_bytes_) {
            line_starts_plus_ = piece.front() == '+';
            line_has_bytes_ = true;
        }
        const void* const found = std::memchr(piece.data(), '\n', piece.size());
        const std::size_t length = found == nullptr
                                       ? piece.size()
                                       : static_cast<std::size_t>(static_cast<const char*>(found) - piece.data()) + 1;
        if (length >= 2) {
            before_last_ = piece[length - 2];
        } else if (length == 1) {
            before_last_ = last_;
        }
        last_ = piece[length - 1];
        if (format_ == RecordFormat::fasta && stage_ == Stage::sequence) {
            note_unprintable(piece.substr(0, length), found != nullptr);
        }
        at_ += length;
        piece.remove_prefix(length);
        if (found != nullptr) {
            end_line(true);
        }
    }
}

void FaiLineMaker::note_unprintable(std::string_view part, bool ends_line) {
    // A carriage return is a line end's only where a line break follows it, perhaps in the next
    // piece.
    std::string_view body = ends_line ? part.substr(0, part.size() - 1) : part;
    if (return_pending_ && !(ends_line && body.empty())) {
        line_unprintable_ = true;
    }
    return_pending_ = !ends_line && body.ends_with('\r');
    if (body.ends_with('\r')) {
        body.remove_suffix(1);
    }
    line_unprintable_ = line_unprintable_ || text::first_unprintable(body) != std::string_view::npos;
}

void FaiLineMaker::end_line(bool with_break) {
    if (format_ == RecordFormat::fasta && stage_ == Stage::sequence) {
        counted_otherwise_ = counted_otherwise_ || line_unprintable_ || (!with_break && return_pending_);
    }
    line_unprintable_ = false;
    return_pending_ = false;
    const std::uint64_t width = at_ - line_start_;
    std::uint64_t bases = width;
    if (with_break) {
        bases -= before_last_ == '\r' && width >= 2 ? 2 : 1;
    }
    take_line(width + (with_break ? 0 : 1), bases, line_starts_plus_);
    line_start_ = at_;
    line_has_bytes_ = false;
    last_ = '\0';
    before_last_ = '\0';
}

void FaiLineMaker::take_line(std::uint64_t width, std::uint64_t bases, bool first_is_plus) {
    switch (stage_) {
    case Stage::header:
        stage_ = Stage::sequence;
        sequence_offset_ = at_;
        return;
    case Stage::sequence:
        if (format_ == RecordFormat::fastq && first_is_plus) {
            stage_ = Stage::quality;
            quality_offset_ = at_;
            return;
        }
        lines_differ_ = lines_differ_ || !fits(width, bases, false);
        if (format_ == RecordFormat::fasta) {
            add_run(bases, width, 1);
        }
        bases_ += bases;
        return;
    case Stage::quality:
        lines_differ_ = lines_differ_ || !fits(width, bases, true);
        quality_bases_ += bases;
        return;
    }
}

bool FaiLineMaker::fits(std::uint64_t width, std::uint64_t bases, bool quality) {
    bool& short_seen = quality ? quality_short_seen_ : short_line_seen_;
    if (bases == 0) {
        short_seen = true;  // blank lines may only end the sequence
        return true;
    }
    if (short_seen) {
        return false;
    }
    if (line_bases_ == 0 && !quality) {
        line_bases_ = bases;
        line_width_ = width;
        return true;
    }
    if (bases > line_bases_ || (bases == line_bases_ && width != line_width_)) {
        return false;
    }
    short_seen = bases < line_bases_;
    return true;
}

FaiLineMaker::Result FaiLineMaker::finish(std::string_view name, std::string& into) {
    if (line_has_bytes_) {
        end_line(false);
    }
    if (stage_ == Stage::header || bases_ == 0) {
        return Result::empty;
    }
    if (lines_differ_) {
        return Result::undescribable;
    }
    if (counted_otherwise_) {
        return Result::counted_otherwise;
    }
    // Composed on the stack and appended once: this runs for every record of the file.
    char fields[5 * 21 + 1];
    char* at = fields;
    const auto put = [&](std::uint64_t number) {
        *at++ = '\t';
        at = std::to_chars(at, fields + sizeof fields, number).ptr;
    };
    for (const std::uint64_t number : {bases_, sequence_offset_, line_bases_, line_width_}) {
        put(number);
    }
    if (format_ == RecordFormat::fastq) {
        put(quality_offset_);
    }
    *at++ = '\n';
    into.append(name);
    into.append(fields, static_cast<std::size_t>(at - fields));
    return Result::line;
}

void FaiLineMaker::add_run(std::uint64_t bases, std::uint64_t width, std::uint64_t lines) {
    constexpr std::uint64_t widest = LineGeometry::none_known - 1;
    runs_fit_ = runs_fit_ && bases <= widest && width <= widest;
    if (runs_.empty() || runs_.back().line_bases != bases || runs_.back().line_width != width) {
        runs_.push_back(
            LineRun{bases_, run_bytes_, static_cast<std::uint32_t>(bases), static_cast<std::uint32_t>(width)});
    }
    run_bytes_ += lines * width;
}

LineGeometry FaiLineMaker::geometry(std::uint64_t record_offset) const {
    const std::uint64_t sequence_start = (stage_ == Stage::header ? at_ : sequence_offset_) - record_offset;
    LineGeometry geometry{0, bases_, 0, LineGeometry::none_known, 0, 0, 0};
    constexpr std::uint64_t widest = LineGeometry::none_known - 1;
    if (sequence_start > widest || !runs_fit_ || runs_.size() > widest) {
        return geometry;  // read the record's lines to find a base
    }
    geometry.sequence_start = static_cast<std::uint32_t>(sequence_start);
    if (lines_differ_) {
        geometry.run_count = static_cast<std::uint32_t>(runs_.size());
    } else {
        geometry.line_bases = static_cast<std::uint32_t>(line_bases_);
        geometry.line_width = static_cast<std::uint32_t>(line_width_);
    }
    return geometry;
}

std::span<const LineRun> FaiLineMaker::runs() const {
    return lines_differ_ ? std::span<const LineRun>(runs_) : std::span<const LineRun>();
}

}  // namespace talmiro
