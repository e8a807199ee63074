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
               "Unable to create file, aborting....", {}, "Unable to write file, aborting....", {}},
    .count_lines = {{{"List file contains ", " entries."}, {}, {}, {}, {}, {}}},
    .missing_line = {"Sequence not found: ", ""},
    .closing = "\nSuccessfully written output file...Exiting now...",
};

// The list file is closed when this returns.
NameTable read_name_list(Front& front) {
    io::LineReader list(front.open_input(Role::list));
    lists::NameList names = count_list_lines(list);
    session::check_read_whole(front, list.input());
    return session::take_list<NameTable>(front, std::move(names));
}

// The FASTA file is closed when this returns, before the output can replace it.
void read_fasta_file(Front& front, NameTable& table, Matching matching) {
    io::LineReader fasta(front.open_input(Role::input));
    const std::size_t records = read_fasta_records(fasta, table, front.meter(), matching);
    front.meter().end_line();
    session::check_read_whole(front, fasta.input());
    front.show_count(session::Count::records_read, static_cast<std::int64_t>(records));
}

void write_fasta_file(Front& front, const NameTable& table) {
    io::OutputFile output = front.create_output(Role::output);
    session::begin_writing({&output});
    const std::size_t written = write_output_fasta(output, table, front.meter());
    session::close_outputs({&output});
    front.meter().end_line();
    front.show_count(session::Count::written, static_cast<std::int64_t>(written));
}

Outcome run_steps(Front& front, Matching matching) {
    NameTable table = read_name_list(front);
    read_fasta_file(front, table, matching);
    if (!session::confirm_missing(front, table.names(),
                                  [&](std::size_t position) { return table.found_at(position); })) {
        return Outcome::declined;
    }
    write_fasta_file(front, table);
    return Outcome::done;
}

}  // namespace

Outcome run(std::istream& in, std::ostream& out) {
    session::DialogueFront front(in, out, dialogue_texts);
    return session::run_session(front, [](Front& steps_front) { return run_steps(steps_front, Matching::prefix); });
}

Outcome run_batch(Front& front, const session::BatchOptions& options) {
    const Matching matching = options.exact ? Matching::first_word : Matching::prefix;
    return session::run_session(front, [matching](Front& steps_front) { return run_steps(steps_front, matching); });
}

}  // namespace talmiro
