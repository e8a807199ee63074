// FASTA records: a header line after '>', then everything up to the next '>' wherever it stands.
#pragma once

#include "io/line_reader.hpp"
#include "talmiro/records/record_scanner.hpp"

namespace talmiro {

class FastaScanner final : public RecordScanner {
public:
    // Reads from where the input stands: the first record's marker is passed over first (and,
    // leniently, any text before it).
    FastaScanner(io::ReadBuffer input, Checks checks);

    bool next(std::size_t most, HeaderLine& header) override;
    void take(RecordSink& sink) override;
    void skip() override;
    const std::optional<io::IoError>& malformed() const override { return malformed_; }
    RecordFormat format() const override { return RecordFormat::fasta; }
    std::uint64_t records() const override { return records_; }
    io::ReadBuffer& input() override { return reader_.window(); }
    Checks checks() const { return checks_; }

    // Ends the records before the one whose '>' stands at this offset of the file: another
    // scanner reads from there. (Every '>' after the first record's begins a record.)
    void stop_at(std::uint64_t file_offset) { stop_at_ = file_offset; }
    bool stopped() const { return stopped_; }
    // Takes on the counts of `later`, which read on from where this scanner stopped, and its
    // failure where this one had none.
    void absorb(const FastaScanner& later);

private:
    io::LineReader reader_;
    Checks checks_;
    std::uint64_t stop_at_ = UINT64_MAX;
    bool stopped_ = false;
    std::string_view header_;  // the header line's first bytes as read, valid until the next read
    bool whole_ = true;        // header_ is the whole line
    bool line_break_ = false;  // and a line break followed it
    std::uint64_t records_ = 0;
    std::optional<io::IoError> malformed_;  // text before the first header, strictly read
};

}  // namespace talmiro
