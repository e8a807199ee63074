#include "orvane/app/batch_outputs.hpp"

#include "orvane/app/meter_labels.hpp"

#include "orvane/app/files.hpp"
#include "orvane/model/matrix_checking.hpp"
#include "orvane/writers/pair_writing.hpp"
#include "orvane/writers/square_writing.hpp"
#include "orvane/writers/table_writing.hpp"
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

MatrixOutputs create_matrix_outputs(session::Front& front) {
    MatrixOutputs outputs{front.create_output(output_file), std::nullopt};
    if (front.wants_output(sample_file)) {
        outputs.sample = front.create_output(sample_file);
        refuse_same(*outputs.sample, outputs.matrix, "the matrix and the sample");
    }
    return outputs;
}

BatchOutputs::BatchOutputs(session::Front& front, Layout layout, std::uint32_t decimals, bool missing_allowed)
    : front_(front), layout_(layout), decimals_(decimals), missing_allowed_(missing_allowed) {
    if (front.wants_output(map_file)) {
        short_names_.emplace();
    }
}

void BatchOutputs::refuse_names_none_can_read(const IdTable& ids) const {
    // An ID written where no reader, this one included, would find it again is refused before
    // anything is written.
    if (short_names_) {
        for (std::size_t position = 0; position < ids.size(); ++position) {
            const std::string_view id = ids.ids().name(position);
            if (ids.found_at(position) && id.find_first_of("\t\r\n") != std::string_view::npos) {
                throw Abort{Failure::unreadable_input, "the ID " + text::quoted(id) +
                                                           " holds a tab or a line break, which the --short-names "
                                                           "map cannot hold"};
            }
        }
    }
    if (layout_ == Layout::pairs) {
        if (const auto name = name_no_pair_can_hold(ids)) {
            throw Abort{Failure::unreadable_input, "the ID " + text::quoted(*name) +
                                                       " holds a tab or a line break, which a pairs file cannot "
                                                       "hold (--short-names gives names that fit)"};
        }
    }
    if (layout_ == Layout::ssv) {
        for (std::size_t position = 0; position < ids.size(); ++position) {
            const std::string_view name = ids.written_name(position);
            if (ids.found_at(position) && name.ends_with('\\')) {
                throw Abort{Failure::unreadable_input,
                            "the ID " + text::quoted(name) +
                                " ends in a backslash, which escapes the closing quote for R's read.table: an ssv "
                                "output cannot hold it (--short-names, or a csv or tsv output, can)"};
            }
        }
    }
    if (holds_data_sets(layout_)) {
        if (const auto name = name_no_phylip_field_can_hold(ids)) {
            throw Abort{Failure::unreadable_input,
                        "the ID " + text::quoted(*name) + " cannot be written in a " +
                            std::string(layout_names[static_cast<std::size_t>(layout_)]) +
                            " matrix: PHYLIP's 10-character name field holds a name with blanks only up to 10 "
                            "characters, and none with a tab or a line break (--short-names, or a csv or ssv "
                            "output, which quote, can hold it)"};
        }
    }
}

void BatchOutputs::warn_of_long_names(const IdTable& ids) {
    if (!holds_data_sets(layout_) || short_names_ || long_names_told_) {
        return;
    }
    std::size_t longer = 0;
    std::string_view first;
    for (std::size_t position = 0; position < ids.size(); ++position) {
        const std::string_view name = ids.written_name(position);
        if (ids.found_at(position) && name.size() > 10 &&
            ids.ids().first_position(ids.ids().slot(position)) == position) {
            first = longer == 0 ? name : first;
            ++longer;
        }
    }
    if (longer > 0) {
        long_names_told_ = true;
        front_.warn(text::quoted(first) +
                    (longer > 1 ? " and " + std::to_string(longer - 1) + " more IDs are" : " is") +
                    " longer than 10 characters, which PHYLIP's programs read of a name: --short-names writes names "
                    "they read, and a map back to the IDs");
    }
}

void BatchOutputs::write(IdTable& ids, const DataSet& set) {
    if (short_names_) {
        short_names_->give(ids);
    }
    refuse_names_none_can_read(ids);
    warn_of_long_names(ids);
    // Without --allow-na every value was read as a number: nothing to look for.
    if (missing_allowed_ && (holds_data_sets(layout_) || front_.wants_output(sample_file))) {
        if (const std::optional<std::string> missing = first_missing_value(ids, set)) {
            throw Abort{
                Failure::unreadable_input,
                *missing + ": a " +
                    std::string(holds_data_sets(layout_) ? layout_names[static_cast<std::size_t>(layout_)] : "sample") +
                    " output holds numbers only (a tsv, csv, ssv or pairs output without -s holds it)"};
        }
    }
    if (!outputs_) {
        create();
    } else if (outputs_->sample) {
        outputs_->sample->put('\n');  // a blank line between data sets
    }
    const ValueFormat format{set.texts ? &*set.texts : nullptr, decimals_};
    io::OutputFile& matrix = outputs_->matrix;
    io::OutputFile* const sample = outputs_->sample_or_none();
    std::size_t written = 0;
    if (holds_data_sets(layout_)) {
        written =
            write_output_files(&matrix, sample, ids, set.rows, front_.meter().progress(writing_label), layout_, format);
    } else {
        written = layout_ == Layout::pairs
                      ? write_pairs(matrix, ids, set.rows, format, front_.meter().progress(writing_label))
                      : write_table(matrix, layout_, ids, set.rows, format, front_.meter().progress(writing_label));
        if (sample != nullptr) {
            write_output_files<double>(nullptr, sample, ids, set.rows, front_.meter().progress(writing_label),
                                       Layout::square, format);
        }
    }
    front_.meter().end_line();
    front_.show_count(rows_written, static_cast<std::int64_t>(written));
}

void BatchOutputs::close() {
    if (short_names_ && map_) {
        short_names_->write_map(*map_);
    }
    if (outputs_) {
        session::close_outputs({&outputs_->matrix, outputs_->sample_or_none(), map_ ? &*map_ : nullptr});
    }
}

void BatchOutputs::create() {
    outputs_ = create_matrix_outputs(front_);
    if (short_names_) {
        map_ = front_.create_output(map_file);
        refuse_same(*map_, outputs_->matrix, "the matrix and the name map");
        if (outputs_->sample) {
            refuse_same(*map_, *outputs_->sample, "the sample and the name map");
        }
    }
    session::begin_writing({&outputs_->matrix, outputs_->sample_or_none(), map_ ? &*map_ : nullptr});
}

}  // namespace orvane
