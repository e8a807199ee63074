#include "orvane/batch_outputs.hpp"

#include "orvane/files.hpp"
#include "orvane/matrix_writing.hpp"
#include "orvane/pair_writing.hpp"
#include "orvane/table_writing.hpp"
#include "text/quoting.hpp"

namespace orvane {

namespace {

using session::Abort;
using session::Failure;

void refuse_same(const io::OutputFile& one, const io::OutputFile& other, const std::string& which) {
    if (one.same_file_as(other)) {
        throw Abort{Failure::same_outputs, which + " name the same file, " + text::quoted(other.name())};
    }
}

}  // namespace

BatchOutputs::BatchOutputs(session::Front& front, Layout layout) : front_(front), layout_(layout) {
    if (front.wants_output(map_file)) {
        short_names_.emplace();
    }
}

void BatchOutputs::write(IdTable& ids, const DataSet& set) {
    if (short_names_) {
        short_names_->give(ids);
    }
    if (layout_ == Layout::pairs) {
        if (const auto name = name_no_pair_can_hold(ids)) {
            throw Abort{Failure::unreadable_input, "the ID " + text::quoted(*name) +
                                                       " holds a tab or a line break, which a pairs file cannot "
                                                       "hold (--short-names gives names that fit)"};
        }
    }
    if (!matrix_) {
        create();
    } else if (sample_) {
        sample_->put('\n');  // a blank line between data sets
    }
    const RowTexts* const texts = set.texts ? &*set.texts : nullptr;
    io::OutputFile* const sample = sample_ ? &*sample_ : nullptr;
    std::size_t written = 0;
    if (holds_data_sets(layout_)) {
        written = write_output_files(&*matrix_, sample, ids, set.rows, front_.meter(), layout_);
    } else {
        written = layout_ == Layout::pairs ? write_pairs(*matrix_, ids, set.rows, texts, front_.meter())
                                           : write_table(*matrix_, layout_, ids, set.rows, texts, front_.meter());
        if (sample != nullptr) {
            write_output_files<double>(nullptr, sample, ids, set.rows, front_.meter());
        }
    }
    front_.meter().end_line();
    front_.show_count(rows_written, static_cast<std::int64_t>(written));
}

void BatchOutputs::close() {
    if (short_names_ && map_) {
        short_names_->write_map(*map_);
    }
    session::close_outputs({matrix_ ? &*matrix_ : nullptr, sample_ ? &*sample_ : nullptr, map_ ? &*map_ : nullptr});
}

void BatchOutputs::create() {
    matrix_ = front_.create_output(output_file);
    if (front_.wants_output(sample_file)) {
        sample_ = front_.create_output(sample_file);
        refuse_same(*sample_, *matrix_, "the matrix and the sample");
    }
    if (short_names_) {
        map_ = front_.create_output(map_file);
        refuse_same(*map_, *matrix_, "the matrix and the name map");
        if (sample_) {
            refuse_same(*map_, *sample_, "the sample and the name map");
        }
    }
    session::begin_writing({&*matrix_, sample_ ? &*sample_ : nullptr, map_ ? &*map_ : nullptr});
}

}  // namespace orvane
