#include "talmiro/records/record_writing.hpp"

#include "talmiro/storage/file_rereading.hpp"

#include <sys/stat.h>
#include <unistd.h>
#include <algorithm>
#include <cerrno>

namespace talmiro {

namespace {

// A stretch is written once it is this long, so the output keeps up with the reading and the
// pages behind the reader can go.
constexpr std::size_t longest_run = std::size_t{4} << 20;

// Stretches at least this long are copied by the kernel; shorter ones cost less written from
// memory (a copy_file_range call measured 22 us on ext4 for 10 KB, twice a write of them).
constexpr std::uint64_t kernel_copy_from = std::uint64_t{1} << 20;

// Bytes [offset, offset + length) of the file, copied by the kernel where it will and the
// stretch is long, else written from the mapping (`mapped`, the whole file) or read again. A file
// cut short since it was read gives what it still holds: the run learns of the change from the
// input.
void write_stretch(io::OutputFile& output, int descriptor, const char* mapped, std::uint64_t offset,
                   std::uint64_t length, FileRereader& reread) {
    const std::uint64_t done =
        length >= kernel_copy_from ? output.copy_from(descriptor, offset, static_cast<std::size_t>(length)) : 0;
    if (mapped != nullptr) {
        output.write({mapped + offset + done, static_cast<std::size_t>(length - done)});
    } else {
        static_cast<void>(reread.read(descriptor, offset + done, length - done, FileRereader::most,
                                      [&output](std::string_view piece) { output.write(piece); }));
    }
}

int regular_file_of(const io::ReadBuffer& input) {
    const io::InputFile* const file = input.plain_file();
    struct stat info {};
    return file != nullptr && ::fstat(file->descriptor(), &info) == 0 && S_ISREG(info.st_mode) ? file->descriptor()
                                                                                               : -1;
}

}  // namespace

void DeferredRecords::add_text(std::string_view text) {
    parts_.push_back(Part{text_.size(), text.size(), true});
    text_ += text;
}

void DeferredRecords::add_stretch(std::uint64_t offset, std::uint64_t length) {
    parts_.push_back(Part{offset, length, false});
}

void DeferredRecords::write_to(io::OutputFile& output, int descriptor) const {
    FileRereader reread;  // short stretches a megabyte read at a time
    for (const Part& part : parts_) {
        if (part.text) {
            output.write({text_.data() + part.offset, static_cast<std::size_t>(part.length)});
        } else {
            write_stretch(output, descriptor, nullptr, part.offset, part.length, reread);
        }
    }
}

RecordWriter::RecordWriter(io::OutputFile& output, RecordFormat format, const io::ReadBuffer& input)
    : output_(&output),
      deferred_(nullptr),
      marker_(marker_of(format)),
      input_(input),
      descriptor_(regular_file_of(input)) {}

RecordWriter::RecordWriter(DeferredRecords& deferred, RecordFormat format, const io::ReadBuffer& input)
    : output_(nullptr),
      deferred_(&deferred),
      marker_(marker_of(format)),
      input_(input),
      descriptor_(regular_file_of(input)) {}

bool RecordWriter::by_stretches() const {
    // A copied window's bytes are gone by the time a stretch is written: read again, they would
    // cost more than writing them now.
    return descriptor_ >= 0 && (deferred_ != nullptr || input_.mapped());
}

void RecordWriter::emit_text(std::string_view text) {
    if (deferred_ != nullptr) {
        deferred_->add_text(text);
    } else {
        output_->write(text);
    }
}

void RecordWriter::add(std::string_view piece) {
    if (piece.empty()) {
        return;
    }
    if (by_stretches()) {
        const std::uint64_t at = input_.file_offset(static_cast<std::size_t>(piece.data() - input_.data()));
        // The record's marker is the byte before its first piece when the two follow on.
        const bool follows = run_end_ != no_run && (starting_ ? run_end_ + 1 == at : run_end_ == at);
        if (!follows || run_end_ - run_begin_ >= longest_run) {
            finish();
            run_begin_ = at;
            // The marker too, where the file holds it just before the record.
            if (starting_ && piece.data() > input_.data() && piece.data()[-1] == marker_) {
                --run_begin_;
            } else if (starting_) {
                emit_text({&marker_, 1});
            }
        }
        run_end_ = at + piece.size();
    } else {
        finish();
        if (starting_) {
            // Only now: a malformed record is dropped before its first byte is handed on.
            emit_text({&marker_, 1});
        }
        emit_text(piece);
    }
    starting_ = false;
    last_ = piece.back();
}

void RecordWriter::end_record() {
    if (last_ != '\n') {
        finish();
        emit_text("\n");  // the next record's marker starts the next stretch
    }
    last_ = '\n';
}

void RecordWriter::finish() {
    if (run_end_ != no_run && run_end_ > run_begin_) {
        if (deferred_ != nullptr) {
            deferred_->add_stretch(run_begin_, run_end_ - run_begin_);
        } else {
            FileRereader unused;  // a mapped file's stretches are written from the mapping
            write_stretch(*output_, descriptor_, input_.data(), run_begin_, run_end_ - run_begin_, unused);
        }
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
