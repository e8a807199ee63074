#include "talmiro/index/tix_scanning.hpp"

#include "index/checksum.hpp"
#include "talmiro/index/fai_format.hpp"
#include "talmiro/index/record_table.hpp"
#include "talmiro/records/record_scanner.hpp"
#include "text/quoting.hpp"

#include <limits>
#include <memory>

namespace talmiro {

namespace {

// Header lines are read whole however long (half the range: the reader adds it to an offset).
constexpr std::size_t whole_line = std::numeric_limits<std::size_t>::max() / 2;
constexpr std::size_t fai_stretch = std::size_t{64} << 10;

// Where each record lies, as the scan hands its bytes on; and its .fai line.
class IndexingSink final : public RecordSink {
public:
    IndexingSink(io::ReadBuffer& input, RecordFormat format) : input_(input), format_(format) {}

    void begin_record(std::int64_t) override {
        starting_ = true;
        located_ = false;
    }
    void add(std::string_view piece) override {
        if (starting_) {
            // The record's marker is the byte before its first piece.
            offset_ = input_.file_offset(static_cast<std::size_t>(piece.data() - input_.data())) - 1;
            end_ = offset_ + 1;
            fai_.begin(format_, end_);
            starts_inside_line_ = records_ > 0 && last_ != '\n';
            starting_ = false;
            located_ = true;
        }
        end_ += piece.size();
        last_ = piece.back();
        fai_.add(piece);
    }
    void end_record() override { ++records_; }

    std::uint64_t offset() const { return offset_; }
    std::uint64_t length() const { return end_ - offset_; }
    bool starts_inside_line() const { return starts_inside_line_; }
    // Whether the record had any byte after its marker, which tells where it lies.
    bool located() const { return located_; }
    FaiLineMaker& fai() { return fai_; }

private:
    io::ReadBuffer& input_;
    RecordFormat format_;
    FaiLineMaker fai_;
    bool starting_ = false;
    bool located_ = false;
    bool starts_inside_line_ = false;
    char last_ = '\n';
    std::uint64_t offset_ = 0;
    std::uint64_t end_ = 0;
    std::uint64_t records_ = 0;
};

// The .fai's lines made so far, written and summed a stretch at a time (a line is a few dozen
// bytes; a call for each would cost more than the line).
void write_fai_lines(io::OutputFile& fai, std::string& lines, Scanned& scanned) {
    fai.write(lines);
    scanned.fai.size += lines.size();
    scanned.fai.checksum = indexing::checksum(lines, scanned.fai.checksum);
    lines.clear();
}

// The record's place, its line geometry (FASTA) and its .fai line, until one record proves
// one that a .fai cannot describe.
void add_record(IndexingSink& sink, const std::string& name, io::OutputFile& fai, std::string& lines,
                Scanned& scanned) {
    scanned.table.add(name, sink.offset());
    const FaiLineMaker::Result result = sink.fai().finish(name, lines);
    if (scanned.format == RecordFormat::fasta) {
        scanned.table.add_geometry(sink.fai().geometry(sink.offset()), sink.fai().runs(), sink.length());
    }
    if (!scanned.undescribable.empty()) {
        return;
    }
    if (result == FaiLineMaker::Result::undescribable || result == FaiLineMaker::Result::counted_otherwise) {
        scanned.undescribable = name;
        scanned.why_undescribable = result == FaiLineMaker::Result::undescribable
                                        ? "its lines differ in length, which a .fai cannot describe"
                                        : "its sequence holds a blank, a tab, a carriage return or a control "
                                          "character, which samtools would not count as bases";
        return;
    }
    if (lines.size() >= fai_stretch) {
        write_fai_lines(fai, lines, scanned);
    }
}

}  // namespace

std::optional<io::IoError> scan_for_index(io::InputFile file, const std::string& path, io::OutputFile& fai,
                                          std::uint64_t text_guess, Scanned& scanned,
                                          const std::function<void(std::string_view)>& stored) {
    // A record takes at least a few bytes; only the room written to is ever backed by memory.
    // Copied rather than mapped: every byte is read once, in order, and a read costs less than
    // faulting in the pages of a mapping.
    std::unique_ptr<RecordScanner> records = scan_records(
        io::ReadBuffer(stored ? io::tapped(io::open_source(std::move(file)), stored) : io::open_source(std::move(file)),
                       io::ReadBuffer::default_size, io::ReadBuffer::Access::copied));
    scanned.format = records->format();
    scanned.table.expect(static_cast<std::size_t>(text_guess / 8), static_cast<std::size_t>(text_guess / 2));
    IndexingSink sink(records->input(), scanned.format);
    HeaderLine header;
    std::string fai_lines;
    fai_lines.reserve(2 * fai_stretch);
    std::string name;
    while (records->next(whole_line, header)) {
        // Copied now: the header's bytes may leave the window while the record is read.
        name.assign(index_name(header.text));
        sink.begin_record(0);
        records->take(sink);
        if (records->malformed()) {
            break;
        }
        if (!sink.located()) {
            continue;  // a marker that ends the file: nothing any name could take
        }
        if (sink.starts_inside_line()) {
            return io::IoError::bad_content(path, "the record '" + name + "' begins inside a line (a '" +
                                                      std::string(1, marker_of(scanned.format)) +
                                                      "' there), which no index can describe: the file is read whole "
                                                      "each time");
        }
        add_record(sink, name, fai, fai_lines, scanned);
    }
    if (records->malformed()) {
        return records->malformed();
    }
    if (scanned.undescribable.empty()) {
        write_fai_lines(fai, fai_lines, scanned);
    }
    const io::ReadBuffer& input = records->input();
    scanned.text_size = input.file_offset(input.end());
    if (const std::optional<io::IoError>& error = records->input().error()) {
        return error;
    }
    if (records->input().changed()) {
        return io::IoError::changed_while_read(path);
    }
    return std::nullopt;
}

}  // namespace talmiro
