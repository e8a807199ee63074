#include "orvane/app/run.hpp"

#include "front/dialogue_front.hpp"
#include "front/index_mode.hpp"
#include "io/name_lines.hpp"
#include "orvane/app/batch_outputs.hpp"
#include "orvane/app/files.hpp"
#include "orvane/app/index_mode.hpp"
#include "orvane/app/meter_labels.hpp"
#include "orvane/formats/layout_choice.hpp"
#include "orvane/formats/layouts.hpp"
#include "orvane/index/indexed_cutting.hpp"
#include "orvane/model/matrix_checking.hpp"
#include "orvane/parse/token_reader.hpp"
#include "orvane/readers/lower_reading.hpp"
#include "orvane/readers/pair_reading.hpp"
#include "orvane/readers/row_conversion.hpp"
#include "orvane/readers/square_reading.hpp"
#include "orvane/readers/table_reading.hpp"
#include "orvane/readers/window_access.hpp"
#include "orvane/writers/square_writing.hpp"
#include "project/version.hpp"
#include "text/quoting.hpp"

#include <algorithm>
#include <climits>
#include <new>
#include <optional>
#include <string>

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
constexpr session::CountKind data_set_count{"data sets", {}, {}};
constexpr session::CountKind excluded_count{"excluded", {}, {}};
constexpr session::CountKind kept_count{"kept", {}, {}};
constexpr session::CountKind rows_located{"rows read through an index", {}, {}};

// The list file is closed when this returns.
IdTable read_id_list(Front& front, IdTable::Listing listing = IdTable::Listing::taken) {
    TokenReader list(front.open_input(list_file));
    text::NameList ids = read_id_tokens(list);
    session::check_read_whole(front, list.input());
    return session::take_list<IdTable>(front, list_entries, std::move(ids), listing);
}

// IDs with blanks in them ("Homo sapiens"), one a line.
IdTable read_id_lines(Front& front, IdTable::Listing listing) {
    io::LineReader list(front.open_input(list_file));
    text::NameList ids = io::read_name_lines(list);
    session::check_read_whole(front, list.input());
    return session::take_list<IdTable>(front, list_entries, std::move(ids), listing);
}

template <typename Distance>
DistanceRows<Distance> allocate_distance_rows(
    const IdTable& ids, std::int32_t order,
    typename DistanceRows<Distance>::Kept kept = DistanceRows<Distance>::Kept::every_row) {
    const std::size_t columns = order < 0 ? 0 : static_cast<std::size_t>(order);
    const std::size_t slots = ids.slots_for(columns);
    if (order < 0 && (ids.ids().slot_count() > 0 || ids.excludes())) {
        // A size that cannot be represented.
        throw Abort{Failure::out_of_memory, "the matrix order " + std::to_string(order) + " is negative"};
    }
    try {
        return DistanceRows<Distance>(slots, columns, kept);
    } catch (const std::bad_alloc&) {
        throw Abort{Failure::out_of_memory,
                    "out of memory for " + std::to_string(slots) + " rows of " + std::to_string(order) + " distances"};
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
// when something did, told (batch mode fails on it; the dialogue reads on, and what follows is
// not found).
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
    finish_reading(
        front, matrix.input(),
        read_distance_matrix(matrix, ids, order, rows, nullptr, strictness, front.meter().progress(reading_label)));
    return rows;
}

// The values a batch cut keeps besides their texts: none, unless they are to be compared or
// written in fixed point.
DistanceRows<double>::Kept values_kept(bool keep_texts, const Choice& options) {
    return keep_texts && !options.check ? DistanceRows<double>::Kept::none : DistanceRows<double>::Kept::every_row;
}

DataSet read_table(Front& front, IdTable& ids, io::LineReader& table, Layout layout, const Choice& options) {
    const bool keep_texts = !options.decimals;
    std::string first_row;
    TableHeader header;
    if (const auto unreadable = read_table_header(table, layout, header, first_row)) {
        session::raise_unreadable(*unreadable);
    }
    const auto order = static_cast<std::int32_t>(std::min<std::size_t>(header.names.size(), INT32_MAX));
    front.show_count(matrix_order, order);
    DataSet set{allocate_distance_rows<double>(ids, order, values_kept(keep_texts, options)), std::nullopt};
    if (keep_texts) {
        set.texts.emplace(ids.slots_for(static_cast<std::size_t>(order)));
    }
    finish_reading(
        front, table.input(),
        read_table_rows(table, layout, header, std::move(first_row), ids, set.rows, set.texts ? &*set.texts : nullptr,
                        front.meter().progress(reading_label), options.allow_na));
    return set;
}

DataSet read_pair_list(Front& front, IdTable& ids, io::LineReader& pairs, const Choice& options) {
    std::optional<PairMatrix> matrix;
    const std::optional<io::IoError> unreadable =
        read_pairs(pairs, ids, !options.decimals, front.meter().progress(reading_label), matrix,
                   threads::Cores::from_affinity, options.allow_na);
    finish_reading(front, pairs.input(), unreadable);
    front.show_count(matrix_order, static_cast<std::int64_t>(matrix->order));
    return {std::move(matrix->rows), std::move(matrix->texts)};
}

// The order the file begins with (0 where none can be read there), as the first data set's.
std::int32_t first_order(io::ReadBuffer& input) {
    const std::optional<std::int64_t> order = order_at_start(input.peek(enough_for_an_order));
    return order && *order > 0 && *order <= INT32_MAX ? static_cast<std::int32_t>(*order) : 0;
}

// "data set 2" where a file holds several, for what is said about one of them.
std::string data_set_part(std::uint32_t number, bool several) {
    return several ? "data set " + std::to_string(number) : std::string();
}

io::IoError in_data_set(io::IoError error, std::uint32_t number) {
    if (number > 1) {
        error.reason = data_set_part(number, true) + ": " + error.reason;
    }
    return error;
}

// A square matrix or lower triangle, the first of its file or (`order_token` holding the order
// that starts it) a later one.
DataSet read_data_set(Front& front, IdTable& ids, TokenReader& matrix, const Detection& detection, std::uint32_t number,
                      const std::string& order_token, const Choice& options) {
    const bool keep_texts = !options.decimals;
    std::int32_t order = 0;
    if (number == 1) {
        order = read_order(front, matrix, Strictness::whole_numbers);
    } else {
        if (const auto unreadable = order_in_token(order_token, matrix, order)) {
            session::raise_unreadable(in_data_set(*unreadable, number));
        }
        front.show_count(matrix_order, order);
    }
    DataSet set{allocate_distance_rows<double>(ids, order, values_kept(keep_texts, options)), std::nullopt};
    if (keep_texts) {
        set.texts.emplace(ids.slots_for(static_cast<std::size_t>(order)),
                          text_shape(*detection.layout, detection.with_diagonal));
    }
    ValueTexts* const texts = set.texts ? &*set.texts : nullptr;
    std::optional<io::IoError> stop =
        *detection.layout == Layout::lower
            ? read_lower_triangle(matrix, ids, order, detection.with_diagonal, set.rows, texts,
                                  front.meter().progress(reading_label))
            : read_distance_matrix(matrix, ids, order, set.rows, texts, Strictness::whole_numbers,
                                   front.meter().progress(reading_label));
    if (stop) {
        stop = in_data_set(std::move(*stop), number);
    }
    finish_reading(front, matrix.input(), stop);
    return set;
}

// After a data set's last row: nothing, or a whole number (into `order_token`) that starts the
// next data set, as PHYLIP's programs write bootstrap replicates one after another. Anything else
// would be lost without a word.
bool next_data_set_follows(Front& front, TokenReader& matrix, std::uint32_t number, std::string& order_token) {
    if (const auto unreadable = take_next_order(matrix, number, order_token)) {
        session::raise_unreadable(*unreadable);
    }
    if (order_token.empty()) {
        session::check_read_whole(front, matrix.input());
        return false;
    }
    return true;
}

// Every output step passes before any output is emptied or written.
void write_outputs(Front& front, const IdTable& ids, const DistanceRows<float>& rows) {
    MatrixOutputs outputs = create_matrix_outputs(front);
    session::begin_writing({&outputs.matrix, outputs.sample_or_none()});
    const std::size_t written =
        write_output_files(&outputs.matrix, outputs.sample_or_none(), ids, rows, front.meter().progress(writing_label));
    front.meter().end_line();
    front.show_count(rows_written, static_cast<std::int64_t>(written));
    session::close_outputs({&outputs.matrix, outputs.sample_or_none()});
}

bool confirm_missing_ids(Front& front, const IdTable& ids) {
    return session::confirm_missing(front, ids.ids(), [&](std::size_t position) { return ids.found_at(position); });
}

Outcome dialogue_steps(Front& front) {
    IdTable ids = read_id_list(front);
    DistanceRows<float> rows = [&] {
        io::ReadBuffer input(front.open_input(matrix_file));
        const RowNames names = square_names_of(input);
        TokenReader matrix(std::move(input));
        matrix.read_names(names);
        return read_square<float>(front, ids, matrix, Strictness::as_the_stream);
    }();
    if (!confirm_missing_ids(front, ids)) {
        return Outcome::declined;
    }
    write_outputs(front, ids, rows);
    return Outcome::done;
}

IdTable read_ids(Front& front, const Choice& options) {
    const auto listing = options.exclude ? IdTable::Listing::excluded : IdTable::Listing::taken;
    IdTable ids =
        options.list_column > 0
            ? session::take_list<IdTable>(front, list_entries,
                                          session::read_list_column(front, list_file, options.list_column), listing)
        : options.list_lines ? read_id_lines(front, listing)
                             : read_id_list(front, listing);
    if (!options.exclude) {
        session::warn_of_repeated_names(front, ids.ids());
    }
    return ids;
}

// The IDs taken from one data set are complete and what the options ask of them holds; false
// when the run goes no further.
bool check_and_confirm_cut(Front& front, IdTable& ids, const DataSet& set, const Choice& options,
                           const std::string& part) {
    ids.take_gathered_ids();
    if (ids.excludes()) {
        // Listed IDs that no row has are no loss when excluding: only counted.
        front.show_count(excluded_count, static_cast<std::int64_t>(ids.excluded_seen()));
        front.show_count(kept_count, static_cast<std::int64_t>(ids.size()));
    } else if (!session::confirm_missing(
                   front, ids.ids(), [&](std::size_t position) { return ids.found_at(position); }, part)) {
        return false;
    }
    if (options.check) {
        std::optional<std::string> fault = first_missing_value(ids, set);
        if (!fault) {
            fault = first_fault_of_cut(ids, set.rows);
        }
        if (fault) {
            throw Abort{Failure::unreadable_input,
                        "not a distance matrix: " + (part.empty() ? "" : part + ": ") + *fault};
        }
    }
    return true;
}

std::string ordinal(std::uint32_t number) {
    const std::uint32_t tens = number % 100;
    const std::uint32_t units = number % 10;
    const char* const suffix = tens >= 11 && tens <= 13 ? "th"
                               : units == 1             ? "st"
                               : units == 2             ? "nd"
                               : units == 3             ? "rd"
                                                        : "th";
    return std::to_string(number) + suffix;
}

[[noreturn]] void raise_data_set_past_count(const io::ReadBuffer& input, std::uint32_t count, std::uint32_t asked) {
    session::raise_unreadable(io::IoError::bad_content(
        input.name(), "it holds " + std::to_string(count) + (count == 1 ? " data set" : " data sets") +
                          ", so there is no " + ordinal(asked) + " (--dataset " + std::to_string(asked) + ")"));
}

// A file of several data sets is cut into an output of several only.
[[noreturn]] void raise_several_data_sets(const std::string& input, Layout output_layout) {
    throw Abort{Failure::unreadable_input,
                text::quoted(input) + " holds several data sets, and a " +
                    std::string(layout_names[static_cast<std::size_t>(output_layout)]) +
                    " output takes one: name it with --dataset N",
                true};
}

// Square matrices and lower triangles, one data set after another, each cut and written in turn
// (or only the one asked for).
Outcome cut_data_sets(Front& front, IdTable& ids, TokenReader& matrix, const Detection& detection,
                      const Choice& options, BatchOutputs& outputs, Layout output_layout) {
    std::string order_token;
    std::uint32_t number = 0;
    for (bool more = true; more && (options.dataset == 0 || number < options.dataset);) {
        ++number;
        if (number > 1) {
            ids.forget_rows();
        }
        const DataSet set = read_data_set(front, ids, matrix, detection, number, order_token, options);
        more = next_data_set_follows(front, matrix, number, order_token);
        if (number == 1 && more && options.dataset == 0 && !holds_data_sets(output_layout)) {
            raise_several_data_sets(matrix.input().name(), output_layout);
        }
        if (options.dataset == 0 || options.dataset == number) {
            if (!check_and_confirm_cut(front, ids, set, options, data_set_part(number, more || number > 1))) {
                return Outcome::declined;
            }
            outputs.write(ids, set);
        }
    }
    if (options.dataset > number) {
        raise_data_set_past_count(matrix.input(), number, options.dataset);
    }
    front.show_count(data_set_count, number);
    return Outcome::done;
}

// The data sets read through the index, each cut and written in turn as a whole-file read cuts
// and writes them, its counts and messages in the same order.
Outcome cut_indexed(Front& front, IdTable& ids, IndexedCuts& indexed, const std::string& input, const Choice& options,
                    BatchOutputs& outputs, Layout output_layout) {
    const bool several = indexed.data_sets > 1;
    std::uint32_t number = 0;
    for (IndexedCut& cut : indexed.cuts) {
        ++number;
        front.show_count(matrix_order, cut.order);
        if (number == 1 && several && options.dataset == 0 && !holds_data_sets(output_layout)) {
            raise_several_data_sets(input, output_layout);
        }
        if (options.dataset != 0 && options.dataset != number) {
            continue;
        }
        ids.forget_rows();
        for (std::uint32_t slot = 0; slot < cut.matrix_rows.size(); ++slot) {
            ids.set_matrix_row(slot, cut.matrix_rows[slot]);
        }
        if (!check_and_confirm_cut(front, ids, cut.set, options, data_set_part(number, several))) {
            return Outcome::declined;
        }
        outputs.write(ids, cut.set);
    }
    if (holds_data_sets(indexed.layout)) {
        front.show_count(data_set_count, number);
    }
    front.show_count(rows_located, static_cast<std::int64_t>(indexed.located));
    outputs.close();
    return Outcome::done;
}

Outcome batch_steps(Front& front, const Choice& options) {
    IdTable ids = read_ids(front, options);
    io::InputFile file = front.open_input(matrix_file);
    std::string not_used = options.use_index ? std::string() : "--no-index";
    if (options.use_index) {
        std::optional<IndexedCuts> indexed = cut_through_index(
            session::index_reporting(front), file, ids, options,
            [&](std::int32_t order) {
                return allocate_distance_rows<double>(ids, order, values_kept(!options.decimals, options));
            },
            not_used);
        if (indexed) {
            const Layout output_layout = options.output_for(indexed->layout);
            BatchOutputs outputs(front, output_layout, options.decimals.value_or(6), options.allow_na);
            return cut_indexed(front, ids, *indexed, file.name(), options, outputs, output_layout);
        }
    }
    front.note("index not used for " + text::file_label(file.name(), false) + ": " + not_used);
    io::ReadBuffer input(std::move(file));
    session::refuse_foreign_content(input, "a distance matrix");
    Detection detection;
    if (const auto unknown = choose_layout(input, options.input_layout, detection)) {
        session::raise_unreadable(*unknown);
    }
    const Layout layout = *detection.layout;
    const Layout output_layout = options.output_for(layout);
    BatchOutputs outputs(front, output_layout, options.decimals.value_or(6), options.allow_na);
    const bool alongside =
        layout == Layout::square && converts_alongside(ids, first_order(input), threads::Cores::from_affinity);
    if (reads_copied(layout, Scan::cut, alongside)) {
        input.copy_from_here();
    }
    if (holds_data_sets(layout)) {
        TokenReader matrix(std::move(input));
        matrix.read_names(detection.names);
        if (cut_data_sets(front, ids, matrix, detection, options, outputs, output_layout) != Outcome::done) {
            return Outcome::declined;
        }
    } else {
        if (options.dataset > 1) {
            raise_data_set_past_count(input, 1, options.dataset);
        }
        io::LineReader lines(std::move(input));
        const DataSet set = layout == Layout::pairs ? read_pair_list(front, ids, lines, options)
                                                    : read_table(front, ids, lines, layout, options);
        if (!check_and_confirm_cut(front, ids, set, options, {})) {
            return Outcome::declined;
        }
        outputs.write(ids, set);
    }
    outputs.close();
    return Outcome::done;
}

}  // namespace

Outcome run(std::istream& in, std::ostream& out) {
    session::DialogueFront front(in, out, dialogue_texts);
    return session::run_session(front, dialogue_steps);
}

Outcome run_batch(Front& front, const session::BatchOptions& common, const Options& options) {
    if (common.files_mode) {
        return session::run_session(front, [&](Front& steps_front) {
            return build_row_indexes(steps_front, common.mode_files, choice_of(options).input_layout);
        });
    }
    Choice choice = choice_of(options);
    choice.list_column = common.list_column;
    return session::run_session(front, [&](Front& steps_front) { return batch_steps(steps_front, choice); });
}

}  // namespace orvane
