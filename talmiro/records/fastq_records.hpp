// FASTQ records: '@' and a header line, sequence lines up to a line beginning with '+', then
// quality lines until the quality is as long as the sequence. Sequence and quality may each be
// wrapped over several lines; a quality line beginning with '@' is told from the next header by
// that length alone.
#pragma once

#include "talmiro/records/record_scanner.hpp"

#include <string>
#include <vector>

namespace talmiro {

class FastqScanner final : public RecordScanner {
public:
    // Reads from where the input stands: blank lines, then the first record's '@'.
    FastqScanner(io::ReadBuffer input, Checks checks) : input_(std::move(input)), checks_(checks) {}

    bool next(std::size_t most, HeaderLine& header) override;
    void take(RecordSink& sink) override;
    void skip() override;
    const std::optional<io::IoError>& malformed() const override { return malformed_; }
    RecordFormat format() const override { return RecordFormat::fastq; }
    std::uint64_t records() const override { return records_; }
    io::ReadBuffer& input() override { return input_; }
    Checks checks() const { return checks_; }

    // Ends the records before the one that begins at this offset of the file, where one does:
    // another scanner reads from there. Where none does (the offset lies inside a record), the
    // records go on to the end as if no stop were set.
    void stop_at(std::uint64_t file_offset) { stop_at_ = file_offset; }
    bool stopped() const { return stopped_; }
    // Takes on the counts of `later`, which read on from where this scanner stopped, and its
    // failure (its lines counted on from here) where this one had none.
    void absorb(const FastqScanner& later);

private:
    static constexpr std::size_t no_line_break = SIZE_MAX;

    // Where the line beginning at `from` ends: the window offset of its line break, or
    // no_line_break when it runs to the end of the input. Keeps the record's bytes in the
    // window; `from` follows them should they move.
    std::size_t line_end(std::size_t& from);
    // Finds the line breaks of the next stretch of the window past `from`, many at a time: four
    // lines a record make one search per line too costly.
    void index_line_breaks(std::size_t from);
    // Reads the record's lines after its header, checking them; its end is then pos().
    bool read_rest();
    void fail(std::string problem, std::uint64_t line);
    // Strictly read: false (the record failed) where `text`, a sequence or quality line, holds
    // a byte no FASTQ reader takes, or the '+' line repeats another title than the header's.
    bool holds_only_letters(std::string_view text, std::string_view what, std::uint64_t line);
    bool repeats_the_title(std::string_view plus_line, std::uint64_t line);
    std::string record_name() const;

    io::ReadBuffer input_;
    Checks checks_;
    std::size_t record_start_ = 0;  // the window offset of the record's header line
    std::size_t header_size_ = 0;
    std::uint64_t lines_ = 0;  // the lines before pos()
    std::uint64_t records_ = 0;
    bool ended_ = false;
    std::uint64_t stop_at_ = UINT64_MAX;
    bool stopped_ = false;
    std::optional<io::IoError> malformed_;
    std::vector<std::size_t> breaks_;  // window offsets of line breaks found ahead, ascending
    std::size_t next_break_ = 0;       // the first of breaks_ not yet passed
    std::size_t indexed_to_ = 0;       // breaks_ holds every line break before this offset
};

}  // namespace talmiro
