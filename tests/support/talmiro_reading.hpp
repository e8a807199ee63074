// talmiro's own reading of an input, as the run does it, with what each listed position would
// be written: for holding it to the references.
#pragma once

#include "io/progress.hpp"
#include "support/session.hpp"
#include "talmiro/records/record_reading.hpp"
#include "talmiro/records/record_writing.hpp"
#include "talmiro/storage/taken_records.hpp"

#include <string>
#include <vector>

namespace testing_support {

struct TalmiroReading {
    std::vector<std::string> texts;  // per listed position, as written
    bool malformed = false;
};

// `spool_budget` small makes a stream's records go through the temporary file.
inline TalmiroReading read_as_talmiro(io::ReadBuffer input, const std::vector<std::string>& names,
                                      talmiro::Selection selection = {}, std::size_t spool_budget = 100) {
    text::NameList list;
    for (const std::string& name : names) {
        list.add(name);
    }
    const talmiro::NameTable table(std::move(list), selection.ignore_case);
    // Read as the dialogue reads, which the reference is written for.
    const auto records = talmiro::scan_records(std::move(input), talmiro::Checks::lenient);
    talmiro::TakenRecords taken(records->input(), records->format(), table.slot_count(), talmiro::temporary_folder(),
                                spool_budget);
    std::vector<std::uint64_t> counts(table.slot_count(), 0);
    static_cast<void>(talmiro::read_records(*records, talmiro::NameSelector(table, selection.matching), false, taken,
                                            counts, io::Progress(), table.size()));
    taken.arrange();
    TalmiroReading reading;
    reading.malformed = records->malformed().has_value();
    for (std::size_t position = 0; position < table.size(); ++position) {
        std::string& text = reading.texts.emplace_back();
        static_cast<void>(taken.write(table.slot(position), [&](std::string_view piece) { text += piece; }));
    }
    return reading;
}

// The output of a streaming run (file order, or excluding) over `input`, written to `path`;
// `deferred`, kept by the writer as stretches of the file and written once all is read.
inline std::string stream_as_talmiro(io::ReadBuffer input, const std::vector<std::string>& names, bool exclude,
                                     const std::string& path, bool deferred = false) {
    text::NameList list;
    for (const std::string& name : names) {
        list.add(name);
    }
    const talmiro::NameTable table(std::move(list), false);
    const auto records = talmiro::scan_records(std::move(input), talmiro::Checks::lenient);
    std::optional<io::OutputFile> output = io::OutputFile::create(path);
    output->begin_writing();
    talmiro::DeferredRecords kept;
    {
        talmiro::RecordWriter writer = deferred ? talmiro::RecordWriter(kept, records->format(), records->input())
                                                : talmiro::RecordWriter(*output, records->format(), records->input());
        std::vector<std::uint64_t> counts(table.slot_count(), 0);
        static_cast<void>(talmiro::read_records(*records, talmiro::NameSelector(table, talmiro::Matching::prefix),
                                                exclude, writer, counts, io::Progress(), table.size()));
    }
    kept.write_to(*output, records->input().plain_file()->descriptor());
    static_cast<void>(output->close());
    return read_file(path);
}

}  // namespace testing_support
