#include "run.hpp"

#include "console.hpp"
#include "fasta_reading.hpp"
#include "fasta_writing.hpp"
#include "line_reader.hpp"

#include <limits>
#include <new>
#include <ostream>

namespace talmiro {

namespace {

using console::Abort;
using console::Console;

constexpr std::string_view title_line = "\t\tTALMIRO v2.0";
constexpr std::string_view list_prompt = "Enter sequence list file name: ";
constexpr std::string_view fasta_prompt = "Enter Input FASTA file name: ";
constexpr std::string_view output_prompt = "Enter Output FASTA file name: ";
constexpr std::string_view file_does_not_exist = "File does not exist, aborting....";
constexpr std::string_view memory_failed = "Memory allocation failed, aborting....";
constexpr std::string_view unable_to_create = "Unable to create file, aborting....";
constexpr std::string_view unable_to_write = "Unable to write file, aborting....";
constexpr std::string_view closing_text = "\n\nSuccessfully written output file...Exiting now...";

LineReader open_input(Console& console, std::string_view prompt) {
    return LineReader(console.open_input_file(prompt, file_does_not_exist));
}

// The list file is closed when this returns.
NameTable read_name_list(Console& console) {
    LineReader list = open_input(console, list_prompt);
    console::NameList names = count_list_lines(list);
    console.out() << "\nList file contains " << names.count() << " entries.\n";
    // The list count sizes the tables as a signed 32-bit number; more cannot be represented.
    if (names.out_of_memory() || names.count() > std::numeric_limits<std::int32_t>::max()) {
        throw Abort{memory_failed};
    }
    try {
        return NameTable(std::move(names));
    } catch (const std::bad_alloc&) {
        throw Abort{memory_failed};
    }
}

// The FASTA file is closed when this returns, before the output can replace it.
void read_fasta_file(Console& console, NameTable& table) {
    LineReader fasta = open_input(console, fasta_prompt);
    read_fasta_records(fasta, table, console);
}

void write_fasta_file(Console& console, const NameTable& table) {
    console::OutputFile output = console.create_output_file(output_prompt, unable_to_create);
    write_output_fasta(output, table, console);
    if (!output.close()) {
        throw Abort{unable_to_write};
    }
}

void run_steps(Console& console) {
    console.print_banner(title_line);
    NameTable table = read_name_list(console);
    read_fasta_file(console, table);
    if (!confirm_missing_names(table, console)) {
        return;
    }
    write_fasta_file(console, table);
    console.out() << closing_text;
}

}  // namespace

void run(std::istream& in, std::ostream& out) { console::run_session(in, out, memory_failed, run_steps); }

}  // namespace talmiro
