#include "run.hpp"

#include "console.hpp"
#include "matrix_reading.hpp"
#include "matrix_writing.hpp"
#include "token_reader.hpp"

#include <limits>
#include <new>
#include <ostream>
#include <string>

namespace orvane {

namespace {

using console::Abort;
using console::Console;

constexpr std::string_view title_line = "\t\tORVANE v2.0";
constexpr std::string_view list_prompt = "Enter sequence list TEXT file name: ";
constexpr std::string_view matrix_prompt = "Enter the INPUT distance matrix file name: ";
constexpr std::string_view output_matrix_prompt = "Enter OUTPUT distance matrix file name: ";
constexpr std::string_view sample_prompt = "Enter OUTPUT Sample file name: ";
constexpr std::string_view file_not_found = "File not found, aborting....";
constexpr std::string_view memory_failed = "Memory allocation failed, aborting....";
constexpr std::string_view unable_to_create = "Unable to create file, aborting.....";
constexpr std::string_view outputs_must_differ = "Output files must be different, aborting.....";
constexpr std::string_view unable_to_write = "Unable to write file, aborting.....";

TokenReader open_input(Console& console, std::string_view prompt) {
    return TokenReader(console.open_input_file(prompt, file_not_found));
}

// The list file is closed when this returns.
IdTable read_id_list(Console& console) {
    TokenReader list = open_input(console, list_prompt);
    console::NameList ids = count_list_entries(list);
    console.out() << "\nList file contains " << ids.count() << " entries.\n";
    // The list count sizes every table as a signed 32-bit number; more cannot be represented.
    if (ids.out_of_memory() || ids.count() > std::numeric_limits<std::int32_t>::max()) {
        throw Abort{memory_failed};
    }
    try {
        return IdTable(std::move(ids));
    } catch (const std::bad_alloc&) {
        throw Abort{memory_failed};
    }
}

DistanceRows allocate_distance_rows(const IdTable& ids, std::int32_t order) {
    if (order < 0 && ids.ids().slot_count() > 0) {
        throw Abort{memory_failed};  // a negative size cannot be represented
    }
    try {
        return DistanceRows(ids.ids().slot_count(), order < 0 ? 0 : static_cast<std::size_t>(order));
    } catch (const std::bad_alloc&) {
        throw Abort{memory_failed};
    }
}

// The matrix file is closed when this returns, before any output can replace it.
DistanceRows read_input_matrix(Console& console, IdTable& ids) {
    TokenReader matrix = open_input(console, matrix_prompt);
    const std::int32_t order = read_matrix_order(matrix);
    console.out() << "\nDistance Matrix order is " << order << ".\n";
    DistanceRows rows = allocate_distance_rows(ids, order);
    read_distance_matrix(matrix, ids, order, rows, console);
    console.out() << '\n';
    return rows;
}

void write_outputs(Console& console, const IdTable& ids, const DistanceRows& rows) {
    console::OutputFile matrix = console.create_output_file(output_matrix_prompt, unable_to_create);
    console::OutputFile sample = console.create_output_file(sample_prompt, unable_to_create);
    if (sample.same_file_as(matrix)) {
        throw Abort{outputs_must_differ};
    }
    write_output_files(matrix, sample, ids, rows, console);
    console.out() << '\n';
    const bool matrix_written = matrix.close();
    const bool sample_written = sample.close();
    if (!matrix_written || !sample_written) {
        throw Abort{unable_to_write};
    }
}

void run_steps(Console& console) {
    console.print_banner(title_line);
    IdTable ids = read_id_list(console);
    const DistanceRows rows = read_input_matrix(console, ids);
    if (!confirm_missing_ids(ids, console)) {
        return;
    }
    write_outputs(console, ids, rows);
    console.out() << "\nSuccessfully written OUTPUT matrix file."
                  << "\nSuccessfully written OUTPUT Sample file...Exiting now...\n";
}

}  // namespace

void run(std::istream& in, std::ostream& out) { console::run_session(in, out, memory_failed, run_steps); }

}  // namespace orvane
