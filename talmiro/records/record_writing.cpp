#include "talmiro/records/record_writing.hpp"

namespace talmiro {

namespace {}

namespace {
// A stretch is written once it is this long, so the output keeps up with the reading and the
// pages behind the reader can go.
constexpr std::size_t longest_run = std::size_t{4} << 20;
}  // namespace

void RecordWriter::add(std::string_view piece) {
    if (piece.empty()) {
        return;
    }
    if (mapped_) {
        // The record's marker is the byte before its first piece when the two follow on.
        const bool follows = starting_ ? run_end_ == piece.data() - 1 : run_end_ == piece.data();
        if (!follows || static_cast<std::size_t>(run_end_ - run_begin_) >= longest_run) {
            finish();
            if (starting_) {
                output_.put(marker_);
            }
            run_begin_ = piece.data();
        }
        run_end_ = piece.data() + piece.size();
    } else {
        if (starting_) {
            // Only now: a malformed record is dropped before its first byte is handed on.
            output_.put(marker_);
        }
        output_.write(piece);
    }
    starting_ = false;
    last_ = piece.back();
}

void RecordWriter::end_record() {
    if (last_ != '\n') {
        finish();
        output_.put('\n');  // the next record's marker starts the next stretch
    }
    last_ = '\n';
}

void RecordWriter::finish() {
    if (run_begin_ != nullptr && run_end_ != nullptr && run_end_ > run_begin_) {
        const auto length = static_cast<std::size_t>(run_end_ - run_begin_);
        const std::size_t copied =
            descriptor_ >= 0 ? output_.copy_from(descriptor_, static_cast<std::uint64_t>(run_begin_ - base_), length)
                             : 0;
        output_.write({run_begin_ + copied, length - copied});
    }
    run_begin_ = run_end_;
}

std::uint64_t write_in_list_order(io::OutputFile& output, const NameTable& table, TakenRecords& taken,
                                  const io::Progress& progress) {
    progress.begin();
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
        progress.step(io::percentage(names_written, list_count));
    }
    return records;
}

}  // namespace talmiro
