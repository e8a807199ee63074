#include "talmiro/index/fai_format.hpp"

#include "text/line_breaks.hpp"

#include <charconv>
#include <cstring>
#include <vector>

namespace talmiro {

void FaiLineMaker::begin(RecordFormat format, std::uint64_t text_offset) {
    *this = FaiLineMaker{};
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
    if (text::count_line_breaks(piece.substr(0, span)) != lines) {
        return false;
    }
    const bool with_return = line_width_ - line_bases_ == 2;
    for (std::size_t end = width - 1; end < span; end += width) {
        if (piece[end] != '\n' || (piece[end - 1] == '\r') != with_return) {
            return false;
        }
    }
    bases_ += lines * line_bases_;
    at_ += span;
    line_start_ = at_;
    piece.remove_prefix(span);
    return true;
}

void FaiLineMaker::add(std::string_view piece) {
    // Most of a FASTA record is lines as long as its first: those are taken a stretch at a time.
    if (format_ == RecordFormat::fasta && stage_ == Stage::sequence && line_bases_ > 0 && !line_has_bytes_ &&
        !short_line_seen_ && !lines_differ_ && line_width_ >= 2) {
        static_cast<void>(take_whole_lines(piece));
    }
    while (!piece.empty()) {
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
        at_ += length;
        piece.remove_prefix(length);
        if (found != nullptr) {
            end_line(true);
        }
    }
}

void FaiLineMaker::end_line(bool with_break) {
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
    into.append(name);
    const auto append = [&](std::uint64_t number) {
        char digits[24];
        into.push_back('\t');
        into.append(digits, std::to_chars(digits, digits + sizeof digits, number).ptr);
    };
    for (const std::uint64_t number : {bases_, sequence_offset_, line_bases_, line_width_}) {
        append(number);
    }
    if (format_ == RecordFormat::fastq) {
        append(quality_offset_);
    }
    into.push_back('\n');
    return Result::line;
}

namespace {

struct FaiRecord {
    std::string_view name;
    std::uint64_t length;
    std::uint64_t offset;
    std::uint64_t line_bases;
    std::uint64_t line_width;
    std::uint64_t quality_offset;
};

bool parse_number(std::string_view field, std::uint64_t& value) {
    const auto [end, error] = std::from_chars(field.data(), field.data() + field.size(), value);
    return error == std::errc{} && end == field.data() + field.size() && !field.empty();
}

// One line's fields; nothing where it is not a .fai line of `columns` fields.
std::optional<FaiRecord> parse_line(std::string_view line, std::size_t columns) {
    std::vector<std::string_view> fields;
    for (std::size_t start = 0;;) {
        const std::size_t tab = line.find('\t', start);
        fields.push_back(line.substr(start, tab == std::string_view::npos ? std::string_view::npos : tab - start));
        if (tab == std::string_view::npos || fields.size() > columns) {
            break;
        }
        start = tab + 1;
    }
    FaiRecord record{fields[0], 0, 0, 0, 0, 0};
    if (fields.size() != columns || !parse_number(fields[1], record.length) ||
        !parse_number(fields[2], record.offset) || !parse_number(fields[3], record.line_bases) ||
        !parse_number(fields[4], record.line_width) ||
        (columns == 6 && !parse_number(fields[5], record.quality_offset)) || record.line_bases == 0 ||
        record.line_width < record.line_bases) {
        return std::nullopt;
    }
    return record;
}

// Where `length` bases laid out as the record says end, from `start`.
std::uint64_t end_of_bases(const FaiRecord& record, std::uint64_t start) {
    const std::uint64_t full_lines = record.length / record.line_bases;
    const std::uint64_t rest = record.length % record.line_bases;
    return start + full_lines * record.line_width + (rest > 0 ? rest + record.line_width - record.line_bases : 0);
}

// Past line breaks only (blank lines) from `at`; `at` itself where anything else stands.
std::uint64_t past_blank_lines(std::string_view text, std::uint64_t at) {
    std::uint64_t after = at;
    for (std::uint64_t scan = at; scan < text.size(); ++scan) {
        const char c = text[scan];
        if (c == '\n') {
            after = scan + 1;
        } else if (c != '\r') {
            break;
        }
    }
    return after;
}

// Where the header line of the record a .fai line describes begins: it must be where the scan
// expects the next record (`expected`), at its marker, named as the line says.
std::optional<std::uint64_t> header_of(const FaiRecord& record, std::string_view text, char marker,
                                       std::uint64_t expected, std::string& why_not) {
    // The header line ends just before the sequence; it begins after the line break before it.
    if (record.offset == 0 || record.offset > text.size() || text[record.offset - 1] != '\n') {
        why_not = "the record '" + std::string(record.name) + "' is not where it says";
        return std::nullopt;
    }
    const std::size_t header_end = static_cast<std::size_t>(record.offset - 1);
    const std::size_t break_before = header_end == 0 ? std::string_view::npos : text.rfind('\n', header_end - 1);
    const std::uint64_t header_start = break_before == std::string_view::npos ? 0 : break_before + 1;
    const std::uint64_t header_from = header_start == 0 && text.starts_with("\xEF\xBB\xBF") ? 3 : header_start;
    if (header_from != expected || text[header_from] != marker ||
        index_name(text.substr(header_from + 1, header_end - header_from - 1)) != record.name) {
        why_not = "it does not account for the record at byte " + std::to_string(expected);
        return std::nullopt;
    }
    return header_from;
}

// Where the record's bases (and, for FASTQ, qualities) end, inside the text.
std::optional<std::uint64_t> data_end_of(const FaiRecord& record, bool fastq, std::string_view text,
                                         std::string& why_not) {
    std::uint64_t data_end = end_of_bases(record, fastq ? record.quality_offset : record.offset);
    // A last line without its line break ends the text early.
    const std::uint64_t slack = record.line_width - record.line_bases;
    if (data_end > text.size() && data_end - text.size() <= slack) {
        data_end = text.size();
    }
    if (data_end > text.size()) {
        why_not = "the record '" + std::string(record.name) + "' runs past the end of the file";
        return std::nullopt;
    }
    return data_end;
}

}  // namespace

std::optional<RecordTableBuilder> table_from_fai(std::string_view fai, RecordFormat format, std::string_view text,
                                                 std::string& why_not) {
    const std::size_t columns = format == RecordFormat::fastq ? 6 : 5;
    const char marker = marker_of(format);
    RecordTableBuilder table;
    // Where the scan's first record starts: after a byte order mark and blank lines.
    std::uint64_t expected = past_blank_lines(text, text.starts_with("\xEF\xBB\xBF") ? 3 : 0);
    std::uint64_t record_start = 0;
    std::string_view record_name;
    bool open = false;
    std::uint64_t line_number = 0;
    for (std::size_t start = 0; start < fai.size();) {
        const std::size_t end = fai.find('\n', start);
        const std::string_view line =
            fai.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start);
        start = end == std::string_view::npos ? fai.size() : end + 1;
        ++line_number;
        const std::optional<FaiRecord> record = parse_line(line, columns);
        if (!record) {
            why_not =
                "line " + std::to_string(line_number) + " is no " + (columns == 6 ? "FASTQ" : "FASTA") + " .fai line";
            return std::nullopt;
        }
        const std::optional<std::uint64_t> header_from = header_of(*record, text, marker, expected, why_not);
        if (!header_from) {
            return std::nullopt;
        }
        if (open) {
            table.add(record_name, record_start, *header_from - record_start);
        }
        const std::optional<std::uint64_t> data_end = data_end_of(*record, columns == 6, text, why_not);
        if (!data_end) {
            return std::nullopt;
        }
        record_start = *header_from;
        record_name = record->name;
        open = true;
        expected = past_blank_lines(text, *data_end);
    }
    if (open) {
        if (expected != text.size()) {
            why_not = "it does not account for the record at byte " + std::to_string(expected);
            return std::nullopt;
        }
        table.add(record_name, record_start, text.size() - record_start);
    } else if (expected != text.size()) {
        why_not = "it holds no record";
        return std::nullopt;
    }
    table.sort();
    return table;
}

}  // namespace talmiro
