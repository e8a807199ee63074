#include "talmiro/run.hpp"

#include "front/dialogue_front.hpp"
#include "io/line_reader.hpp"
#include "project/version.hpp"
#include "talmiro/fasta_reading.hpp"
#include "talmiro/fasta_writing.hpp"
#include "talmiro/files.hpp"

namespace talmiro {

namespace {

using session::Failure;
using session::Front;
using session::Outcome;

const session::DialogueTexts dialogue_texts{
    .title_line = "\t\tTALMIRO v" ORVANE_TALMIRO_VERSION,
    .aborts = {{Failure::cannot_open_input, "File does not exist, aborting...."},
               {Failure::out_of_memory, "Memory allocation failed, aborting...."},
               {Failure::cannot_create_output, "Unable to create file, aborting...."},
               {Failure::same_outputs, {}},
               {Failure::cannot_write_output, "Unable to write file, aborting...."},
               {Failure::unreadable_input, {}}},
    .missing_line = {"Sequence not found: ", ""},
    .closing = "\nSuccessfully written output file...Exiting now...",
};

constexpr session::CountKind list_entries{"list entries", "List file contains ", " entries."};
constexpr session::CountKind records_read{"records read", {}, {}};
constexpr session::CountKind records_written{"written", {}, {}};

// The list file is closed when this returns.
NameTable read_name_list(Front& front) {
    io::LineReader list(front.open_input(list_file));
    text::NameList names = read_name_lines(list);
    session::check_read_whole(front, list.input());
    return session::take_list<NameTable>(front, list_entries, std::move(names));
}

// The FASTA file is closed when this returns, before the output can replace it.
void read_fasta_file(Front& front, NameTable& table, Matching matching) {
    io::LineReader fasta(front.open_input(fasta_file));
    const std::size_t records = read_fasta_records(fasta, table, front.meter(), matching);
    front.meter().end_line();
    session::check_read_whole(front, fasta.input());
    front.show_count(records_read, static_cast<std::int64_t>(records));
}

void write_fasta_file(Front& front, const NameTable& table) {
    io::OutputFile output = front.create_output(output_file);
    session::begin_writing({&output});
    const std::size_t written = write_output_fasta(output, table, front.meter());
    session::close_outputs({&output});
    front.meter().end_line();
    front.show_count(records_written, static_cast<std::int64_t>(written));
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

Outcome run_batch(Front& front, const session::BatchOptions&, const Options& options) {
    const Matching matching = options.exact ? Matching::first_word : Matching::prefix;
    return session::run_session(front, [matching](Front& steps_front) { return run_steps(steps_front, matching); });
}

}  // namespace talmiro
