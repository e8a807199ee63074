// The .fai that samtools and most of the field read: one line per record, in file order, with
// the record's name, its length, where its sequence starts, its bases and bytes per line and,
// for FASTQ, where its qualities start. It describes only records whose lines are all as long
// as the first, the last aside.
#pragma once

#include "talmiro/index/record_table.hpp"
#include "talmiro/records/record_scanner.hpp"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace talmiro {

// Follows one record's bytes, as a scan hands them on (the header line first), and gives its
// .fai line.
class FaiLineMaker {
public:
    // `text_offset`: where the record's first byte after its '>' or '@' lies in the text.
    void begin(RecordFormat format, std::uint64_t text_offset);
    void add(std::string_view piece);
    enum class Result { line, empty, undescribable };
    // The record's line (its name given) appended to `into`; `empty` for a record without
    // sequence (samtools leaves those out), `undescribable` where its lines differ in length.
    Result finish(std::string_view name, std::string& into);

private:
    enum class Stage { header, sequence, quality };
    // The piece's first lines, where each is exactly as long as the first line, taken at once;
    // false (nothing taken) otherwise.
    bool take_whole_lines(std::string_view& piece);
    void end_line(bool with_break);
    void take_line(std::uint64_t width, std::uint64_t bases, bool first_is_plus);
    bool fits(std::uint64_t width, std::uint64_t bases, bool quality);

    RecordFormat format_ = RecordFormat::fasta;
    Stage stage_ = Stage::header;
    std::uint64_t at_ = 0;          // text offset of the next byte
    std::uint64_t line_start_ = 0;  // of the line being read
    bool line_starts_plus_ = false;
    bool line_has_bytes_ = false;
    char last_ = '\0';
    char before_last_ = '\0';
    std::uint64_t sequence_offset_ = 0;
    std::uint64_t quality_offset_ = 0;
    std::uint64_t bases_ = 0;       // the sequence's length
    std::uint64_t line_bases_ = 0;  // of the first sequence line
    std::uint64_t line_width_ = 0;
    bool short_line_seen_ = false;  // a line shorter than the first: only blank lines may follow
    std::uint64_t quality_bases_ = 0;
    bool quality_short_seen_ = false;
    bool lines_differ_ = false;
};

// A .fai's records as a name table: each entry from its header line to the next record's (or
// the end of the text), read off the file `text` (the whole file's bytes). Nothing, with
// `why_not`, where the .fai does not account for every byte of the text: a record it leaves
// out, lines it gets wrong, a file it was not made for.
std::optional<RecordTableBuilder> table_from_fai(std::string_view fai, RecordFormat format, std::string_view text,
                                                 std::string& why_not);

}  // namespace talmiro
