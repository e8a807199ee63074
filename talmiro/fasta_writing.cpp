#include "talmiro/fasta_writing.hpp"

namespace talmiro {

namespace {
constexpr std::string_view writing_label = "Writing Output file. Completed... ";
}

std::size_t write_output_fasta(io::OutputFile& output, const NameTable& table, console::Meter& meter) {
    meter.begin(writing_label);
    const auto list_count = static_cast<std::int64_t>(table.size());
    std::int64_t written = 0;
    std::size_t records = 0;
    for (std::size_t position = 0; position < table.size(); ++position) {
        if (!table.found_at(position)) {
            continue;
        }
        table.for_each_record_at(position, [&](std::string_view record) {
            output.write(record);
            ++records;
        });
        ++written;
        meter.step(writing_label, console::percentage(written, list_count));
    }
    return records;
}

}  // namespace talmiro
