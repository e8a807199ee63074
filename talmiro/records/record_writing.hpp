// Writing the taken records: as they are read (file order), or once every input is read (list
// order, from where they were left).
#pragma once

#include "io/output_file.hpp"
#include "io/progress.hpp"
#include "talmiro/match/name_selection.hpp"
#include "talmiro/records/record_scanner.hpp"
#include "talmiro/storage/taken_records.hpp"

namespace talmiro {

// Writes each record handed to it straight to the output: its '>' or '@', its bytes, and a line
// break where they lack a final one. From a mapped input, records that follow one another in the
// file (with the marker between them) are written as one stretch, copied by the kernel from the
// file where the output takes it (else written from the mapping): excluding a few records then
// costs about what copying the file does.
class RecordWriter final : public RecordSink {
public:
    RecordWriter(io::OutputFile& output, RecordFormat format, const io::ReadBuffer& input)
        : output_(output),
          marker_(marker_of(format)),
          mapped_(input.mapped()),
          base_(input.data()),
          descriptor_(input.mapped() && input.plain_file() != nullptr ? input.plain_file()->descriptor() : -1) {}
    ~RecordWriter() { finish(); }
    RecordWriter(const RecordWriter&) = delete;
    RecordWriter& operator=(const RecordWriter&) = delete;

    void begin_record(std::int64_t) override { starting_ = true; }
    void add(std::string_view piece) override;
    void end_record() override;
    // Writes what is still held back; the destructor does too.
    void finish();

private:
    io::OutputFile& output_;
    char marker_;
    bool mapped_;
    const char* base_;  // mapped: the file's first byte, so a stretch's place in it is known
    int descriptor_;    // mapped: the file, for the kernel to copy stretches from
    bool starting_ = false;
    char last_ = '\n';
    const char* run_begin_ = nullptr;  // mapped: the stretch of the file not yet written
    const char* run_end_ = nullptr;
};

// Writes, for each listed name in list order, the records it took, in file order; draws the
// writing meter (the caller ends its line). Returns the number of records written.
std::uint64_t write_in_list_order(io::OutputFile& output, const NameTable& table, TakenRecords& taken,
                                  const io::Progress& progress);

}  // namespace talmiro
