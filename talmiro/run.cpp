#include "run.hpp"

#include "fasta_reading.hpp"
#include "fasta_writing.hpp"
#include "line_reader.hpp"

namespace talmiro {

namespace {

using session::Front;
using session::Outcome;
using session::Role;

const session::DialogueTexts dialogue_texts{
    .title_line = "\t\tTALMIRO v2.0",
    .prompts = {"Enter sequence list file name: ", "Enter Input FASTA file name: ", "Enter Output FASTA file name: ",
                {}},
    .aborts = {"File does not exist, aborting....", "Memory allocation failed, aborting....",
               "Unable to create file, aborting....", {}, "Unable to write file, aborting...."},
    .count_lines = {{{"List file contains ", " entries."}, {}}},
    .missing_line = {"Sequence not found: ", ""},
    .closing = "\nSuccessfully written output file...Exiting now...",
};

// The list file is closed when this returns.
NameTable read_name_list(Front& front) {
    LineReader list(front.open_input(Role::list));
    return session::take_list<NameTable>(front, count_list_lines(list));
}

// The FASTA file is closed when this returns, before the output can replace it.
void read_fasta_file(Front& front, NameTable& table) {
    LineReader fasta(front.open_input(Role::input));
    read_fasta_records(fasta, table, front.meter());
    front.meter().end_line();
}

void write_fasta_file(Front& front, const NameTable& table) {
    io::OutputFile output = front.create_output(Role::output);
    write_output_fasta(output, table, front.meter());
    session::close_outputs({&output});
    front.meter().end_line();
}

Outcome run_steps(Front& front) {
    NameTable table = read_name_list(front);
    read_fasta_file(front, table);
    if (!session::confirm_missing(front, table.names(),
                                  [&](std::size_t position) { return table.found_at(position); })) {
        return Outcome::declined;
    }
    write_fasta_file(front, table);
    return Outcome::done;
}

}  // namespace

Outcome run_with(Front& front) { return session::run_session(front, run_steps); }

Outcome run(std::istream& in, std::ostream& out) {
    session::DialogueFront front(in, out, dialogue_texts);
    return run_with(front);
}

}  // namespace talmiro
