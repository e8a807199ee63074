// The records of an input, FASTA or FASTQ, one at a time: the header line to decide on, then the
// record's bytes handed on or passed over.
#pragma once

#include "io/io_error.hpp"
#include "io/read_buffer.hpp"
#include "talmiro/match/name_selection.hpp"

#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>

namespace talmiro {

// Where a taken record's bytes go: pieces that, put together, are the record as the file holds
// it from the first byte of its header line (after '>' or '@') to its end. Each piece lies in
// the input's window, so a mapped input's pieces are consecutive bytes of the file.
class RecordSink {
public:
    // A record follows, taken by the name of `slot` (or by none: -1).
    virtual void begin_record(std::int64_t slot) = 0;
    virtual void add(std::string_view piece) = 0;
    virtual void end_record() = 0;

protected:
    ~RecordSink() = default;
};

enum class RecordFormat { fasta, fastq };

// How closely records are held to what the field's readers take. Batch mode and every index
// read records as samtools and Biopython do and refuse what they refuse: text before the first
// FASTA header, FASTQ sequence and quality lines holding anything but '!' to '~', a '+' line
// naming another title. The dialogue keeps its own ways: it passes over text before the first
// header and takes any bytes.
enum class Checks { lenient, strict };

class RecordScanner {
public:
    virtual ~RecordScanner() = default;

    // The next record's header line, its first `most` bytes at least; false once the records
    // have ended: at the end of the input, or at a malformed record (see malformed()).
    [[nodiscard]] virtual bool next(std::size_t most, HeaderLine& header) = 0;
    // The rest of the record that next() began: handed to `sink` (a malformed record is not),
    // or passed over. Either checks it.
    virtual void take(RecordSink& sink) = 0;
    virtual void skip() = 0;

    // What was wrong with the record that ended the records early, if one did.
    virtual const std::optional<io::IoError>& malformed() const = 0;
    virtual RecordFormat format() const = 0;
    // The records met so far.
    virtual std::uint64_t records() const = 0;

    virtual io::ReadBuffer& input() = 0;
};

// The records of `input`: FASTQ when its first record begins with '@' (after a byte order mark
// and blank lines), FASTA otherwise.
std::unique_ptr<RecordScanner> scan_records(io::ReadBuffer input, Checks checks = Checks::strict);

// The character a record of this format begins with.
constexpr char marker_of(RecordFormat format) { return format == RecordFormat::fastq ? '@' : '>'; }

}  // namespace talmiro
