#include "run.hpp"

#include "matrix_reading.hpp"
#include "matrix_writing.hpp"
#include "token_reader.hpp"

#include <new>
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
    session::check_unchanged(front, list.input());
    if (list.stop() == TokenReader::Stop::read_error) {
        front.input_cut_short(list.input().error()->describe());
    }
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

// The matrix file is closed when this returns, before any output can replace it.
template <typename Distance>
DistanceRows<Distance> read_input_matrix(Front& front, IdTable& ids, Strictness strictness) {
    TokenReader matrix(front.open_input(Role::input));
    const std::int32_t order = read_matrix_order(matrix);
    if (matrix.failed()) {
        session::check_unchanged(front, matrix.input());
        front.input_cut_short(describe_unreadable_order(matrix));
    }
    front.show_count(session::Count::matrix_order, order);
    DistanceRows<Distance> rows = allocate_distance_rows<Distance>(ids, order);
    const std::optional<std::string> cut_short = read_distance_matrix(matrix, ids, order, rows, strictness, front.meter());
    front.meter().end_line();
    session::check_unchanged(front, matrix.input());
    if (cut_short) {
        front.input_cut_short(*cut_short);
    }
    return rows;
}

// Every output step passes before any output is emptied or written.
template <typename Distance>
void write_outputs(Front& front, const IdTable& ids, const DistanceRows<Distance>& rows) {
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
    const std::size_t written = write_output_files(matrix, sample_file, ids, rows, front.meter());
    front.meter().end_line();
    front.show_count(session::Count::written, static_cast<std::int64_t>(written));
    session::close_outputs({&matrix, sample_file});
}

template <typename Distance>
Outcome run_steps(Front& front, Strictness strictness) {
    IdTable ids = read_id_list(front);
    const DistanceRows<Distance> rows = read_input_matrix<Distance>(front, ids, strictness);
    if (!session::confirm_missing(front, ids.ids(), [&](std::size_t position) { return ids.found_at(position); })) {
        return Outcome::declined;
    }
    write_outputs(front, ids, rows);
    return Outcome::done;
}

}  // namespace

Outcome run(std::istream& in, std::ostream& out) {
    session::DialogueFront front(in, out, dialogue_texts);
    return session::run_session(front, [](Front& steps_front) {
        return run_steps<float>(steps_front, Strictness::as_the_stream);
    });
}

Outcome run_batch(Front& front, const session::BatchOptions&) {
    return session::run_session(front, [](Front& steps_front) {
        return run_steps<double>(steps_front, Strictness::whole_numbers);
    });
}

}  // namespace orvane
