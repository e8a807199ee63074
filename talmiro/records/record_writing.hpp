// Writing the taken records: as they are read (file order), or once every input is read (list
// order, from where they were left).
#pragma once

#include "io/output_file.hpp"
#include "io/progress.hpp"
#include "talmiro/match/name_selection.hpp"
#include "talmiro/records/record_scanner.hpp"
#include "talmiro/storage/taken_records.hpp"

#include <string>
#include <vector>

namespace talmiro {

// What a writer would write, kept in order to be written later: stretches of the input file and
// bytes of their own (markers, added line breaks). The records of a file's later half, read
// beside its earlier half, go out once the earlier half's are written.
class DeferredRecords {
public:
    void add_text(std::string_view text);
    void add_stretch(std::uint64_t offset, std::uint64_t length);
    // Writes them to `output`, the stretches from the file open as `descriptor`.
    void write_to(io::OutputFile& output, int descriptor) const;

private:
    struct Part {
        std::uint64_t offset;  // in the file, or in text_
        std::uint64_t length;
        bool text;
    };
    std::vector<Part> parts_;
    std::string text_;
};

// Writes each record handed to it straight to the output: its '>' or '@', its bytes, and a line
// break where they lack a final one. From a regular file, records that follow one another in it
// (with the marker between them) are written as one stretch, copied by the kernel from the file
// where the output takes it (else written from the mapping, or read again): excluding a few
// records then costs about what copying the file does. Where the kernel copies nothing and the
// window is a copy, records are written piece by piece from it.
class RecordWriter final : public RecordSink {
public:
    RecordWriter(io::OutputFile& output, RecordFormat format, const io::ReadBuffer& input);
    // Keeps what it would write in `deferred` instead, every record by its stretch of the file.
    RecordWriter(DeferredRecords& deferred, RecordFormat format, const io::ReadBuffer& input);
    ~RecordWriter() { finish(); }
    RecordWriter(const RecordWriter&) = delete;
    RecordWriter& operator=(const RecordWriter&) = delete;

    void begin_record(std::int64_t) override { starting_ = true; }
    void add(std::string_view piece) override;
    void end_record() override;
    // Writes what is still held back; the destructor does too.
    void finish();

private:
    static constexpr std::uint64_t no_run = UINT64_MAX;
    bool by_stretches() const;
    void emit_text(std::string_view text);

    io::OutputFile* output_;     // null: deferred
    DeferredRecords* deferred_;  // null: written
    char marker_;
    const io::ReadBuffer& input_;
    int descriptor_;  // a regular file read as it is: where stretches are copied from; else -1
    bool starting_ = false;
    char last_ = '\n';
    std::uint64_t run_begin_ = no_run;  // the stretch of the file not yet written
    std::uint64_t run_end_ = no_run;
};

// Writes, for each listed name in list order, the records it took, in file order; draws the
// writing meter (the caller ends its line). Returns the number of records written.
std::uint64_t write_in_list_order(io::OutputFile& output, const NameTable& table, TakenRecords& taken,
                                  const io::Progress& progress);

}  // namespace talmiro
