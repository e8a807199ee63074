#include "talmiro/record_writing.hpp"

namespace talmiro {

namespace {
constexpr std::string_view writing_label = "Writing Output file. Completed... ";
}

void RecordWriter::end_record() {
    if (last_ != '\n') {
        output_.put('\n');
    }
    last_ = '\n';
}

std::uint64_t write_in_list_order(io::OutputFile& output, const NameTable& table, TakenRecords& taken,
                                  console::Meter& meter) {
    meter.begin(writing_label);
    const auto list_count = static_cast<std::int64_t>(table.size());
    std::int64_t names_written = 0;
    std::uint64_t records = 0;
    const auto write = [&](std::string_view piece) { output.write(piece); };
    for (std::size_t position = 0; position < table.size(); ++position) {
        const std::uint64_t written = taken.write(table.slot(position), write);
        if (written == 0) {
            continue;
        }
        records += written;
        ++names_written;
        meter.step(writing_label, console::percentage(names_written, list_count));
    }
    return records;
}

}  // namespace talmiro
