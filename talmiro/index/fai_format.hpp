// The .fai that samtools and most of the field read: one line per record, in file order, with
// the record's name, its length, where its sequence starts, its bases and bytes per line and,
// for FASTQ, where its qualities start. It describes only records whose lines are all as long
// as the first, the last aside.
#pragma once

#include "talmiro/index/record_table.hpp"
#include "talmiro/records/record_scanner.hpp"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace talmiro {

// Follows one record's bytes, as a scan hands them on (the header line first), and gives its
// .fai line.
class FaiLineMaker {
public:
    // `text_offset`: where the record's first byte after its '>' or '@' lies in the text.
    void begin(RecordFormat format, std::uint64_t text_offset);
    void add(std::string_view piece);
    enum class Result { line, empty, undescribable, counted_otherwise };
    // The record's line (its name given) appended to `into`; `empty` for a record without
    // sequence (samtools leaves those out), `undescribable` where its lines differ in length,
    // `counted_otherwise` where a FASTA sequence line holds a byte samtools does not count as a
    // base (a blank, a tab, a carriage return not before a line break, a control character):
    // samtools would then read back other bases than talmiro takes.
    Result finish(std::string_view name, std::string& into);
    // Once finished: a FASTA record's lines, for the .tix (`record_offset` where its '>' lies),
    // and, where they differ, their runs.
    LineGeometry geometry(std::uint64_t record_offset) const;
    std::span<const LineRun> runs() const;

private:
    enum class Stage { header, sequence, quality };
    // The piece's first lines, where each is exactly as long as the first line, taken at once;
    // false (nothing taken) otherwise.
    bool take_whole_lines(std::string_view& piece);
    // Whether the next bytes begin a sequence line of a FASTA record whose lines are so far alike.
    bool at_alike_lines() const;
    void end_line(bool with_break);
    void take_line(std::uint64_t width, std::uint64_t bases, bool first_is_plus);
    void add_run(std::uint64_t bases, std::uint64_t width, std::uint64_t lines);
    // Marks the line being read where `part` of it holds a byte samtools does not count.
    void note_unprintable(std::string_view part, bool ends_line);
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
    bool line_unprintable_ = false;  // the line being read holds a byte outside '!' to '~'
    bool return_pending_ = false;    // its last piece ended in a carriage return
    bool counted_otherwise_ = false;
    // The sequence's lines as runs of alike lines, kept from record to record for their room.
    std::vector<LineRun> runs_;
    std::uint64_t run_bytes_ = 0;  // where the next line begins, from the sequence's start
    bool runs_fit_ = true;         // every run's numbers fit its fields
};

}  // namespace talmiro
