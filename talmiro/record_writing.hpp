// Writing the taken records: as they are read (file order), or once every input is read (list
// order, from where they were left).
#pragma once

#include "front/dialogue.hpp"
#include "io/output_file.hpp"
#include "talmiro/name_selection.hpp"
#include "talmiro/record_scanner.hpp"
#include "talmiro/taken_records.hpp"

namespace talmiro {

// Writes each record handed to it straight to the output: its '>' or '@', its bytes, and a line
// break where they lack a final one.
class RecordWriter final : public RecordSink {
public:
    RecordWriter(io::OutputFile& output, RecordFormat format) : output_(output), marker_(marker_of(format)) {}

    void begin_record(std::int64_t) override { starting_ = true; }
    void add(std::string_view piece) override {
        if (starting_) {
            // Only now: a malformed record is dropped before its first byte is handed on.
            output_.put(marker_);
            starting_ = false;
        }
        if (!piece.empty()) {
            output_.write(piece);
            last_ = piece.back();
        }
    }
    void end_record() override;

private:
    io::OutputFile& output_;
    char marker_;
    char last_ = '\n';
    bool starting_ = false;
};

// Writes, for each listed name in list order, the records it took, in file order; draws the
// writing meter (the caller ends its line). Returns the number of records written.
std::uint64_t write_in_list_order(io::OutputFile& output, const NameTable& table, TakenRecords& taken,
                                  console::Meter& meter);

}  // namespace talmiro
