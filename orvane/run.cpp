#include "run.hpp"

#include "matrix_reading.hpp"
#include "matrix_writing.hpp"
#include "token_reader.hpp"

#include <new>

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
               "Unable to write file, aborting....."},
    .count_lines = {{{"List file contains ", " entries."}, {"Distance Matrix order is ", "."}}},
    .missing_line = {"Sequence ID ", " not found in Matrix."},
    .closing = "\nSuccessfully written OUTPUT matrix file.\nSuccessfully written OUTPUT Sample file...Exiting now...\n",
};

// The list file is closed when this returns.
IdTable read_id_list(Front& front) {
    TokenReader list(front.open_input(Role::list));
    return session::take_list<IdTable>(front, count_list_entries(list));
}

DistanceRows allocate_distance_rows(const IdTable& ids, std::int32_t order) {
    if (order < 0 && ids.ids().slot_count() > 0) {
        throw Abort{Failure::out_of_memory, "a negative matrix order"};  // a size that cannot be represented
    }
    try {
        return DistanceRows(ids.ids().slot_count(), order < 0 ? 0 : static_cast<std::size_t>(order));
    } catch (const std::bad_alloc&) {
        throw Abort{Failure::out_of_memory, "out of memory for the distance rows"};
    }
}

// The matrix file is closed when this returns, before any output can replace it.
DistanceRows read_input_matrix(Front& front, IdTable& ids) {
    TokenReader matrix(front.open_input(Role::input));
    const std::int32_t order = read_matrix_order(matrix);
    front.show_count(session::Count::matrix_order, order);
    DistanceRows rows = allocate_distance_rows(ids, order);
    read_distance_matrix(matrix, ids, order, rows, front.meter());
    front.meter().end_line();
    return rows;
}

void write_outputs(Front& front, const IdTable& ids, const DistanceRows& rows) {
    io::OutputFile matrix = front.create_output(Role::output);
    io::OutputFile sample = front.create_output(Role::sample);
    if (sample.same_file_as(matrix)) {
        throw Abort{Failure::same_outputs, "the matrix and the sample name the same file"};
    }
    write_output_files(matrix, sample, ids, rows, front.meter());
    front.meter().end_line();
    session::close_outputs({&matrix, &sample});
}

Outcome run_steps(Front& front) {
    IdTable ids = read_id_list(front);
    const DistanceRows rows = read_input_matrix(front, ids);
    if (!session::confirm_missing(front, ids.ids(), [&](std::size_t position) { return ids.found_at(position); })) {
        return Outcome::declined;
    }
    write_outputs(front, ids, rows);
    return Outcome::done;
}

}  // namespace

Outcome run_with(Front& front) { return session::run_session(front, run_steps); }

Outcome run(std::istream& in, std::ostream& out) {
    session::DialogueFront front(in, out, dialogue_texts);
    return run_with(front);
}

}  // namespace orvane
