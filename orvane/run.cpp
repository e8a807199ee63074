#include "run.hpp"

#include "matrix_reading.hpp"
#include "layouts.hpp"
#include "matrix_writing.hpp"
#include "table_reading.hpp"
#include "table_writing.hpp"
#include "token_reader.hpp"

#include <algorithm>
#include <climits>
#include <new>
#include <type_traits>
#include <optional>
#include <string>

namespace orvane {

namespace {

using session::Abort;
using session::Failure;
using session::Front;
using session::Outcome;
using session::Role;

const session::DialogueTexts dialogue_texts{
    .title_line = "\t\tORVANE v2.0",
    .prompts = {"Enter sequence list TEXT file name: ", "Enter the INPUT distance matrix file name: ",
                "Enter OUTPUT distance matrix file name: ", "Enter OUTPUT Sample file name: "},
    .aborts = {"File not found, aborting....", "Memory allocation failed, aborting....",
               "Unable to create file, aborting.....", "Output files must be different, aborting.....",
               "Unable to write file, aborting.....", {}},
    .count_lines = {{{"List file contains ", " entries."}, {"Distance Matrix order is ", "."}, {}, {}, {}, {}}},
    .missing_line = {"Sequence ID ", " not found in Matrix."},
    .closing = "\nSuccessfully written OUTPUT matrix file.\nSuccessfully written OUTPUT Sample file...Exiting now...\n",
};

// The list file is closed when this returns.
IdTable read_id_list(Front& front) {
    TokenReader list(front.open_input(Role::list));
    lists::NameList ids = count_list_entries(list);
    session::check_read_whole(front, list.input());
    return session::take_list<IdTable>(front, std::move(ids));
}

template <typename Distance>
DistanceRows<Distance> allocate_distance_rows(const IdTable& ids, std::int32_t order) {
    if (order < 0 && ids.ids().slot_count() > 0) {
        // A size that cannot be represented.
        throw Abort{Failure::out_of_memory, "the matrix order " + std::to_string(order) + " is negative"};
    }
    try {
        return DistanceRows<Distance>(ids.ids().slot_count(), order < 0 ? 0 : static_cast<std::size_t>(order));
    } catch (const std::bad_alloc&) {
        throw Abort{Failure::out_of_memory, "out of memory for " + std::to_string(ids.ids().slot_count()) +
                                                " rows of " + std::to_string(order) + " distances"};
    }
}

// The matrix order, as the square and lower layouts begin.
std::int32_t read_order(Front& front, TokenReader& matrix) {
    const std::int32_t order = read_matrix_order(matrix);
    if (matrix.failed()) {
        session::check_read_whole(front, matrix.input());
        front.input_cut_short(describe_unreadable_order(matrix));
    }
    front.show_count(session::Count::matrix_order, order);
    return order;
}

// After any reading of the matrix: the meter's line ended, and what stopped the reading early,
// when something did, told (batch mode fails on it; the dialogue reads on as designed).
void finish_reading(Front& front, const io::ReadBuffer& input, const std::optional<std::string>& cut_short) {
    front.meter().end_line();
    session::check_read_whole(front, input);
    if (cut_short) {
        front.input_cut_short(*cut_short);
    }
}

// The square layout, as the dialogue has always read it.
template <typename Distance>
DistanceRows<Distance> read_square(Front& front, IdTable& ids, TokenReader& matrix, Strictness strictness) {
    const std::int32_t order = read_order(front, matrix);
    DistanceRows<Distance> rows = allocate_distance_rows<Distance>(ids, order);
    finish_reading(front, matrix.input(), read_distance_matrix(matrix, ids, order, rows, strictness, front.meter()));
    return rows;
}

DistanceRows<double> read_lower(Front& front, IdTable& ids, TokenReader& triangle, bool with_diagonal) {
    const std::int32_t order = read_order(front, triangle);
    DistanceRows<double> rows = allocate_distance_rows<double>(ids, order);
    finish_reading(front, triangle.input(),
                   read_lower_triangle(triangle, ids, order, with_diagonal, rows, front.meter()));
    return rows;
}

// What batch mode read of the input matrix: its layout, the rows of the listed IDs and, from a
// labelled table that is written as one, the rows' own text.
struct BatchInput {
    Layout layout;
    DistanceRows<double> rows;
    std::optional<RowTexts> texts;
};

BatchInput read_table(Front& front, IdTable& ids, io::LineReader& table, Layout layout, bool keep_texts) {
    std::string first_row;
    const TableHeader header = read_table_header(table, layout, first_row);
    const auto order = static_cast<std::int32_t>(std::min<std::size_t>(header.names.size(), INT32_MAX));
    front.show_count(session::Count::matrix_order, order);
    BatchInput input{layout, allocate_distance_rows<double>(ids, order), std::nullopt};
    if (keep_texts) {
        input.texts.emplace(ids.ids().slot_count(), delimiter_of(layout));
    }
    finish_reading(front, table.input(),
                   read_table_rows(table, layout, header, std::move(first_row), ids, input.rows,
                                   input.texts ? &*input.texts : nullptr, front.meter()));
    return input;
}

// The layout named, or told from the first lines.
Detection choose_layout(io::ReadBuffer& input, const session::BatchOptions& options) {
    constexpr std::size_t enough = std::size_t{1} << 20;
    const std::string_view start = input.peek(enough);
    if (options.input_format != "auto") {
        const Layout layout = *layout_named(options.input_format);
        return {layout, layout == Layout::lower && lower_rows_hold_the_diagonal(start), {}};
    }
    Detection detection = detect_layout(start, start.size() < enough);
    if (!detection.layout) {
        throw Abort{Failure::unreadable_input, io::file_label(input.name(), false) + ": cannot tell its layout: " +
                                                   detection.why + "; name it with --input-format"};
    }
    return detection;
}

// The matrix file is closed when this returns, before any output can replace it.
BatchInput read_batch_input(Front& front, IdTable& ids, const session::BatchOptions& options, Layout& output_layout) {
    io::ReadBuffer input(front.open_input(Role::input));
    const Detection detection = choose_layout(input, options);
    const Layout layout = *detection.layout;
    output_layout = options.output_format.empty() ? layout : *layout_named(options.output_format);
    const bool labelled = [](Layout which) { return which == Layout::tsv || which == Layout::csv; }(layout);
    if (labelled) {
        io::LineReader table(std::move(input));
        const bool pass_through = output_layout == Layout::tsv || output_layout == Layout::csv;
        return read_table(front, ids, table, layout, pass_through);
    }
    TokenReader matrix(std::move(input));
    if (layout == Layout::lower) {
        return {layout, read_lower(front, ids, matrix, detection.with_diagonal), std::nullopt};
    }
    return {layout, read_square<double>(front, ids, matrix, Strictness::whole_numbers), std::nullopt};
}

// Every output step passes before any output is emptied or written.
template <typename Distance>
void write_outputs(Front& front, const IdTable& ids, const DistanceRows<Distance>& rows, Layout layout,
                   const RowTexts* texts) {
    io::OutputFile matrix = front.create_output(Role::output);
    std::optional<io::OutputFile> sample;
    if (front.wants_output(Role::sample)) {
        sample = front.create_output(Role::sample);
        if (sample->same_file_as(matrix)) {
            throw Abort{Failure::same_outputs,
                        "the matrix and the sample name the same file, " + io::quoted(matrix.name())};
        }
    }
    io::OutputFile* const sample_file = sample ? &*sample : nullptr;
    session::begin_writing({&matrix, sample_file});
    std::size_t written = 0;
    if (layout == Layout::square || layout == Layout::lower) {
        const Shape shape = layout == Layout::square ? Shape::square : Shape::lower;
        written = write_output_files(&matrix, sample_file, ids, rows, front.meter(), shape);
    } else {
        if constexpr (std::is_same_v<Distance, double>) {
            written = write_table(matrix, layout, ids, rows, texts, front.meter());
        }
        if (sample_file != nullptr) {
            write_output_files<Distance>(nullptr, sample_file, ids, rows, front.meter());
        }
    }
    front.meter().end_line();
    front.show_count(session::Count::written, static_cast<std::int64_t>(written));
    session::close_outputs({&matrix, sample_file});
}

bool confirm_missing_ids(Front& front, const IdTable& ids) {
    return session::confirm_missing(front, ids.ids(), [&](std::size_t position) { return ids.found_at(position); });
}

Outcome dialogue_steps(Front& front) {
    IdTable ids = read_id_list(front);
    DistanceRows<float> rows = [&] {
        TokenReader matrix(front.open_input(Role::input));
        return read_square<float>(front, ids, matrix, Strictness::as_the_stream);
    }();
    if (!confirm_missing_ids(front, ids)) {
        return Outcome::declined;
    }
    write_outputs(front, ids, rows, Layout::square, nullptr);
    return Outcome::done;
}

Outcome batch_steps(Front& front, const session::BatchOptions& options) {
    IdTable ids = read_id_list(front);
    Layout output_layout = Layout::square;
    const BatchInput input = read_batch_input(front, ids, options, output_layout);
    if (!confirm_missing_ids(front, ids)) {
        return Outcome::declined;
    }
    write_outputs(front, ids, input.rows, output_layout, input.texts ? &*input.texts : nullptr);
    return Outcome::done;
}

}  // namespace

Outcome run(std::istream& in, std::ostream& out) {
    session::DialogueFront front(in, out, dialogue_texts);
    return session::run_session(front, dialogue_steps);
}

Outcome run_batch(Front& front, const session::BatchOptions& options) {
    return session::run_session(front, [&](Front& steps_front) { return batch_steps(steps_front, options); });
}

}  // namespace orvane
