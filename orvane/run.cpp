#include "orvane/run.hpp"

#include "front/dialogue_front.hpp"
#include "io/name_lines.hpp"
#include "orvane/files.hpp"
#include "orvane/layouts.hpp"
#include "orvane/matrix_checking.hpp"
#include "orvane/matrix_reading.hpp"
#include "orvane/matrix_writing.hpp"
#include "orvane/table_reading.hpp"
#include "orvane/table_writing.hpp"
#include "orvane/token_reader.hpp"
#include "project/version.hpp"
#include "text/quoting.hpp"

#include <algorithm>
#include <climits>
#include <new>
#include <optional>
#include <string>
#include <type_traits>

namespace orvane {

namespace {

using session::Abort;
using session::Failure;
using session::Front;
using session::Outcome;

const session::DialogueTexts dialogue_texts{
    .title_line = "\t\tORVANE v" ORVANE_TALMIRO_VERSION,
    .aborts = {{Failure::cannot_open_input, "File not found, aborting...."},
               {Failure::out_of_memory, "Memory allocation failed, aborting...."},
               {Failure::cannot_create_output, "Unable to create file, aborting....."},
               {Failure::same_outputs, "Output files must be different, aborting....."},
               {Failure::cannot_write_output, "Unable to write file, aborting....."},
               {Failure::unreadable_input, {}}},
    .missing_line = {"Sequence ID ", " not found in Matrix."},
    .closing = "\nSuccessfully written OUTPUT matrix file.\nSuccessfully written OUTPUT Sample file...Exiting now...\n",
};

constexpr session::CountKind list_entries{"list entries", "List file contains ", " entries."};
constexpr session::CountKind matrix_order{"matrix order", "Distance Matrix order is ", "."};
constexpr session::CountKind rows_written{"written", {}, {}};

// The list file is closed when this returns.
IdTable read_id_list(Front& front) {
    TokenReader list(front.open_input(list_file));
    text::NameList ids = read_id_tokens(list);
    session::check_read_whole(front, list.input());
    return session::take_list<IdTable>(front, list_entries, std::move(ids));
}

// IDs with blanks in them ("Homo sapiens"), one a line.
IdTable read_id_lines(Front& front) {
    io::LineReader list(front.open_input(list_file));
    text::NameList ids = io::read_name_lines(list);
    session::check_read_whole(front, list.input());
    return session::take_list<IdTable>(front, list_entries, std::move(ids));
}

// An ID listed twice is written twice, as the dialogue does; batch mode says so once per ID, as
// it is more often a slip in a list than a wish.
void warn_of_repeated_ids(Front& front, const text::NameList& ids) {
    std::vector<std::uint32_t> places(ids.slot_count(), 0);
    for (std::size_t position = 0; position < ids.size(); ++position) {
        ++places[ids.slot(position)];
    }
    for (std::size_t position = 0; position < ids.size(); ++position) {
        const std::uint32_t slot = ids.slot(position);
        if (places[slot] > 1 && ids.first_position(slot) == position) {
            front.warn(text::quoted(ids.name(position)) + " is listed " + std::to_string(places[slot]) +
                       " times: it is written at each place");
        }
    }
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

// The matrix order, as the square and lower layouts begin (after a byte order mark, as Windows
// editors write one): as the stream reads it in the dialogue, whole in batch mode.
std::int32_t read_order(Front& front, TokenReader& matrix, Strictness strictness) {
    matrix.skip_byte_order_mark();
    std::int32_t order = 0;
    std::optional<io::IoError> unreadable;
    if (strictness == Strictness::whole_numbers) {
        unreadable = read_whole_order(matrix, order);
    } else {
        order = read_matrix_order(matrix);
        if (matrix.failed()) {
            unreadable = describe_unreadable_order(matrix);
        }
    }
    if (unreadable) {
        session::check_read_whole(front, matrix.input());
        front.input_cut_short(*unreadable);
    }
    front.show_count(matrix_order, order);
    return order;
}

// After any reading of the matrix: the meter's line ended, and what stopped the reading early,
// when something did, told (batch mode fails on it; the dialogue reads on as designed).
void finish_reading(Front& front, const io::ReadBuffer& input, const std::optional<io::IoError>& cut_short) {
    front.meter().end_line();
    session::check_read_whole(front, input);
    if (cut_short) {
        front.input_cut_short(*cut_short);
    }
}

// The square layout, as the dialogue has always read it.
template <typename Distance>
DistanceRows<Distance> read_square(Front& front, IdTable& ids, TokenReader& matrix, Strictness strictness) {
    const std::int32_t order = read_order(front, matrix, strictness);
    DistanceRows<Distance> rows = allocate_distance_rows<Distance>(ids, order);
    finish_reading(front, matrix.input(), read_distance_matrix(matrix, ids, order, rows, strictness, front.meter()));
    return rows;
}

DistanceRows<double> read_lower(Front& front, IdTable& ids, TokenReader& triangle, bool with_diagonal) {
    const std::int32_t order = read_order(front, triangle, Strictness::whole_numbers);
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
    TableHeader header;
    if (const auto unreadable = read_table_header(table, layout, header, first_row)) {
        session::raise_unreadable(*unreadable);
    }
    const auto order = static_cast<std::int32_t>(std::min<std::size_t>(header.names.size(), INT32_MAX));
    front.show_count(matrix_order, order);
    BatchInput input{layout, allocate_distance_rows<double>(ids, order), std::nullopt};
    if (keep_texts) {
        input.texts.emplace(ids.ids().slot_count(), delimiter_of(layout));
    }
    finish_reading(front, table.input(),
                   read_table_rows(table, layout, header, std::move(first_row), ids, input.rows,
                                   input.texts ? &*input.texts : nullptr, front.meter()));
    return input;
}

// Detection looks at the first few lines. A square matrix or lower triangle shows its layout in
// its first megabyte, and a row nobody lists is never held whole, however long; a labelled
// table's header and first row are read whole (a table of 50,000 names has a header of
// megabytes), from every source alike, up to a bound well past any real table.
constexpr std::size_t enough_for_an_order = std::size_t{1} << 20;
constexpr std::size_t longest_first_lines = std::size_t{256} << 20;

// The first lines of the input: whole, or all of it (`whole` then true), or as much as the
// bounds allow.
std::string_view first_lines(io::ReadBuffer& input, bool& whole) {
    std::string_view start = input.peek(enough_for_an_order);
    whole = start.size() < enough_for_an_order;
    for (std::size_t wanted = 2 * enough_for_an_order; !whole && !starts_with_order(start);
         wanted = std::min(2 * wanted, longest_first_lines)) {
        if (static_cast<std::size_t>(std::count(start.begin(), start.end(), '\n')) >= 3 ||
            start.size() >= longest_first_lines) {
            break;
        }
        start = input.peek(wanted);
        whole = start.size() < wanted;
    }
    return start;
}

// The layout named, or told from the first lines.
Detection choose_layout(io::ReadBuffer& input, const Options& options) {
    input.skip_byte_order_mark();
    bool whole = false;
    const std::string_view start = first_lines(input, whole);
    if (options.input_format != "auto") {
        const Layout layout = *layout_named(options.input_format);
        return {layout, layout == Layout::lower && lower_rows_hold_the_diagonal(start), {}};
    }
    Detection detection = detect_layout(start, whole);
    if (!detection.layout) {
        // Data that could not be read (damaged, say) is what to tell, not what little was read.
        if (input.error()) {
            session::raise_unreadable(*input.error());
        }
        const std::string why = !whole && start.size() >= longest_first_lines
                                    ? "its first lines are longer than 256 MB"
                                    : detection.why;
        session::raise_unreadable(
            io::IoError::bad_content(input.name(), "cannot tell its layout: " + why + "; name it with --input-format"));
    }
    return detection;
}

bool is_labelled(Layout layout) { return layout == Layout::tsv || layout == Layout::csv; }

// Whatever follows a matrix's last row would be lost without a word: a second data set (PHYLIP's
// bootstrap files hold one after another) or stray rows. Batch mode refuses both.
void refuse_what_follows(TokenReader& matrix) {
    const std::string_view next = matrix.take_token();
    if (next.empty()) {
        return;
    }
    const bool order = next.find_first_not_of("0123456789") == std::string_view::npos;
    session::raise_unreadable(io::IoError::bad_content(
        matrix.input().name(), order ? "another data set of order " + std::string(next) +
                                           " follows the first; orvane cuts one data set a file"
                                     : text::quoted(next) + " follows the matrix's last row"));
}

// The matrix file is closed when this returns, before any output can replace it.
BatchInput read_batch_input(Front& front, IdTable& ids, const Options& options, Layout& output_layout) {
    io::ReadBuffer input(front.open_input(matrix_file));
    const Detection detection = choose_layout(input, options);
    const Layout layout = *detection.layout;
    output_layout = options.output_format.empty() ? layout : *layout_named(options.output_format);
    if (is_labelled(layout)) {
        io::LineReader table(std::move(input));
        return read_table(front, ids, table, layout, is_labelled(output_layout));
    }
    TokenReader matrix(std::move(input));
    BatchInput read{layout,
                    layout == Layout::lower ? read_lower(front, ids, matrix, detection.with_diagonal)
                                            : read_square<double>(front, ids, matrix, Strictness::whole_numbers),
                    std::nullopt};
    refuse_what_follows(matrix);
    return read;
}

// Every output step passes before any output is emptied or written.
template <typename Distance>
void write_outputs(Front& front, const IdTable& ids, const DistanceRows<Distance>& rows, Layout layout,
                   const RowTexts* texts) {
    io::OutputFile matrix = front.create_output(output_file);
    std::optional<io::OutputFile> sample;
    if (front.wants_output(sample_file)) {
        sample = front.create_output(sample_file);
        if (sample->same_file_as(matrix)) {
            throw Abort{Failure::same_outputs,
                        "the matrix and the sample name the same file, " + text::quoted(matrix.name())};
        }
    }
    io::OutputFile* const sample_output = sample ? &*sample : nullptr;
    session::begin_writing({&matrix, sample_output});
    std::size_t written = 0;
    if (!is_labelled(layout)) {
        written = write_output_files(&matrix, sample_output, ids, rows, front.meter(), layout);
    } else {
        if constexpr (std::is_same_v<Distance, double>) {
            written = write_table(matrix, layout, ids, rows, texts, front.meter());
        }
        if (sample_output != nullptr) {
            write_output_files<Distance>(nullptr, sample_output, ids, rows, front.meter());
        }
    }
    front.meter().end_line();
    front.show_count(rows_written, static_cast<std::int64_t>(written));
    session::close_outputs({&matrix, sample_output});
}

bool confirm_missing_ids(Front& front, const IdTable& ids) {
    return session::confirm_missing(front, ids.ids(), [&](std::size_t position) { return ids.found_at(position); });
}

Outcome dialogue_steps(Front& front) {
    IdTable ids = read_id_list(front);
    DistanceRows<float> rows = [&] {
        TokenReader matrix(front.open_input(matrix_file));
        return read_square<float>(front, ids, matrix, Strictness::as_the_stream);
    }();
    if (!confirm_missing_ids(front, ids)) {
        return Outcome::declined;
    }
    write_outputs(front, ids, rows, Layout::square, nullptr);
    return Outcome::done;
}

Outcome batch_steps(Front& front, const Options& options) {
    IdTable ids = options.list_lines ? read_id_lines(front) : read_id_list(front);
    warn_of_repeated_ids(front, ids.ids());
    Layout output_layout = Layout::square;
    const BatchInput input = read_batch_input(front, ids, options, output_layout);
    if (!confirm_missing_ids(front, ids)) {
        return Outcome::declined;
    }
    if (options.check) {
        if (const std::optional<std::string> fault = first_fault_of_cut(ids, input.rows)) {
            throw Abort{Failure::unreadable_input, "not a distance matrix: " + *fault};
        }
    }
    write_outputs(front, ids, input.rows, output_layout, input.texts ? &*input.texts : nullptr);
    return Outcome::done;
}

}  // namespace

Outcome run(std::istream& in, std::ostream& out) {
    session::DialogueFront front(in, out, dialogue_texts);
    return session::run_session(front, dialogue_steps);
}

Outcome run_batch(Front& front, const session::BatchOptions&, const Options& options) {
    return session::run_session(front, [&](Front& steps_front) { return batch_steps(steps_front, options); });
}

}  // namespace orvane
