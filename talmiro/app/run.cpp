#include "talmiro/app/run.hpp"

#include "front/dialogue_front.hpp"
#include "front/index_mode.hpp"
#include "io/byte_source.hpp"
#include "io/file_system.hpp"
#include "io/line_reader.hpp"
#include "io/name_lines.hpp"
#include "project/version.hpp"
#include "talmiro/app/files.hpp"
#include "talmiro/app/index_mode.hpp"
#include "talmiro/app/input_threads.hpp"
#include "talmiro/app/meter_labels.hpp"
#include "talmiro/app/region_run.hpp"
#include "talmiro/index/indexed_reading.hpp"
#include "talmiro/records/halved_reading.hpp"
#include "talmiro/records/record_reading.hpp"
#include "talmiro/records/record_writing.hpp"
#include "text/quoting.hpp"
#include "threads/helper.hpp"

#include <filesystem>
#include <memory>
#include <vector>

namespace talmiro {

namespace {

using session::Abort;
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
constexpr session::CountKind records_scanned{"records scanned", {}, {}};
constexpr session::CountKind records_in_index{"records in the file (from its index)", {}, {}};
constexpr session::CountKind records_written{"written", {}, {}};
constexpr session::CountKind records_located{"records read through an index", {}, {}};
constexpr session::CountKind records_by_prefix{"records taken by a name that only begins their first word", {}, {}};

// A stream's taken records wait in memory up to this, shared by the inputs, then in a file.
constexpr std::size_t spool_budget = std::size_t{64} << 20;

// One input and what its pass leaves: the records each name took and, in list order, where
// they are; in file order, the output they were written to.
struct Input {
    std::string name;
    std::unique_ptr<RecordScanner> records;  // none where an index gave the records
    std::unique_ptr<RecordScanner> later;    // a large file's later half, read beside it
    RecordFormat format = RecordFormat::fasta;
    std::uint64_t indexed_records = 0;  // in the whole file, as its index says
    std::uint64_t located = 0;          // records read where its index put them
    std::vector<std::uint64_t> taken;   // per slot
    std::unique_ptr<TakenRecords> places;
    std::unique_ptr<io::OutputFile> output;
    std::uint64_t handed = 0;  // records handed on to be written
};

// The list file is closed when this returns.
NameTable read_name_list(Front& front, const Choice& choice) {
    text::NameList names;
    if (choice.list_column > 0) {
        names = session::read_list_column(front, list_file, choice.list_column);
    } else {
        io::LineReader list(front.open_input(list_file));
        names = io::read_name_lines(list);
        session::check_read_whole(front, list.input());
    }
    NameTable table =
        session::take_list<NameTable>(front, list_entries, std::move(names), choice.selection.ignore_case);
    if (choice.warn_of_repeats && choice.order == Order::list) {  // in file order a record is written once
        session::warn_of_repeated_names(front, table.names());
    }
    return table;
}

// Why the options keep a run from any index (empty where they do not).
std::string why_not_indexed(const Choice& choice) {
    if (choice.use_index) {
        return {};
    }
    if (choice.exclude) {
        return "--exclude reads every record";
    }
    if (choice.selection.ignore_case) {
        return "--ignore-case needs every header";
    }
    return "--no-index";
}

// Each input's records are taken through its index where it has one the run can use; the others
// are scanned by read_inputs().
std::vector<Input> open_inputs(Front& front, const NameTable& table, const NameSelector& selector, const Choice& choice,
                               const std::vector<std::string>& spool_folders) {
    std::vector<Input> inputs(front.files_named(fasta_file));
    // Each input is read on a thread of its own: a compressed one is decoded ahead on another
    // only where cores are left over.
    const io::Decoding decoding =
        inputs.size() > 1 && threads::usable_cores() <= inputs.size() ? io::Decoding::by_reader : io::Decoding::ahead;
    for (std::size_t nth = 0; nth < inputs.size(); ++nth) {
        Input& input = inputs[nth];
        io::InputFile file = front.open_input(fasta_file, nth);
        input.name = file.name();
        std::string not_used = why_not_indexed(choice);
        if (choice.use_index) {
            std::optional<IndexedInput> indexed =
                take_through_index(session::index_reporting(front), file, table, selector, choice.selection.matching,
                                   spool_folders.at(nth), spool_budget / inputs.size(),
                                   nth == 0 ? front.meter().progress(reading_label) : io::Progress(), not_used);
            if (indexed) {
                input.places = std::move(indexed->places);
                input.taken = std::move(indexed->taken);
                input.format = indexed->format;
                input.indexed_records = indexed->records;
                input.located = indexed->located;
                continue;
            }
        }
        front.note("index not used for " + text::file_label(input.name, false) + ": " + not_used);
        io::ReadBuffer buffer(io::open_source(std::move(file), decoding));
        if (choice.checks == Checks::strict) {
            session::refuse_foreign_content(buffer, "FASTA or FASTQ");
        }
        input.records = scan_records(std::move(buffer), choice.checks);
        input.format = input.records->format();
        input.taken.assign(table.slot_count(), 0);
    }
    return inputs;
}

std::vector<io::OutputFile*> outputs_of(std::vector<Input>& inputs) {
    std::vector<io::OutputFile*> outputs;
    for (Input& input : inputs) {
        outputs.push_back(input.output.get());
    }
    return outputs;
}

// The n-th output for the n-th input, no two of them one file.
std::vector<io::OutputFile*> create_outputs(Front& front, std::vector<Input>& inputs) {
    for (std::size_t nth = 0; nth < inputs.size(); ++nth) {
        inputs[nth].output = std::make_unique<io::OutputFile>(front.create_output(output_file, nth));
    }
    const std::vector<io::OutputFile*> outputs = outputs_of(inputs);
    for (std::size_t nth = 0; nth < outputs.size(); ++nth) {
        for (std::size_t other = 0; other < nth; ++other) {
            if (outputs[nth]->same_file_as(*outputs[other])) {
                throw Abort{Failure::same_outputs, "the outputs " + text::file_label(outputs[other]->name(), true) +
                                                       " and " + text::file_label(outputs[nth]->name(), true) +
                                                       " are one file"};
            }
        }
    }
    return outputs;
}

// Inputs read in file order are compared record for record as they are read, where there are
// several and each is read whole (through an index, only the counts of each name are).
std::unique_ptr<MateCheck> mate_check_for(const std::vector<Input>& inputs, const Choice& choice) {
    if (!choice.mate_check || choice.order != Order::file || inputs.size() < 2) {
        return nullptr;
    }
    std::vector<std::string> names;
    for (const Input& input : inputs) {
        if (!input.records) {
            return nullptr;
        }
        names.push_back(input.name);
    }
    return std::make_unique<MateCheck>(std::move(names));
}

// Both halves of a large input at once. The later half's records wait apart until the
// earlier half's are handed on, then follow them: written after them as they are read (file
// order), or kept with them for the list's order.
std::uint64_t read_in_halves(Input& input, RecordSink& sink, RecordWriter* writer, const NameSelector& selector,
                             bool exclude, const io::Progress& progress, std::size_t list_count,
                             const std::string& spool_folder) {
    RecordScanner& later = *input.later;
    bool later_counts = false;
    std::uint64_t handed = 0;
    if (writer != nullptr) {
        DeferredRecords deferred;
        {
            RecordWriter later_writer(deferred, later.format(), later.input());
            handed = read_halves(*input.records, later, selector, exclude, sink, later_writer, input.taken, progress,
                                 list_count, later_counts);
        }
        if (later_counts && !input.records->malformed()) {
            writer->finish();
            deferred.write_to(*input.output, input.records->input().plain_file()->descriptor());
        }
    } else {
        auto later_places = std::make_unique<TakenRecords>(later.input(), later.format(), input.taken.size(),
                                                           spool_folder, spool_budget / 2);
        handed = read_halves(*input.records, later, selector, exclude, sink, *later_places, input.taken, progress,
                             list_count, later_counts);
        if (later_counts) {
            input.places->follow_with(std::move(later_places));
        }
    }
    input.later.reset();
    return handed;
}

// Every input is read at once, each on its own thread; only the first draws the meter.
void read_inputs(Front& front, std::vector<Input>& inputs, const NameTable& table, const NameSelector& selector,
                 const Choice& choice, const std::vector<std::string>& spool_folders) {
    for (std::size_t nth = 0; nth < inputs.size(); ++nth) {
        Input& input = inputs[nth];
        if (input.records && inputs.size() == 1) {
            input.later = later_half_of(*input.records, threads::Cores::from_affinity);
        }
        if (input.records && !input.output) {
            input.places = std::make_unique<TakenRecords>(input.records->input(), input.records->format(),
                                                          table.slot_count(), spool_folders.at(nth),
                                                          spool_budget / inputs.size() / (input.later ? 2 : 1));
        }
    }
    std::unique_ptr<MateCheck> mates = mate_check_for(inputs, choice);
    for_each_input(
        inputs.size(),
        [&](std::size_t nth) {
            Input& input = inputs[nth];
            if (!input.records) {
                return;  // taken through its index
            }
            // However its reading ends, the others no longer wait for it.
            const auto finished = [&mates, nth](void*) {
                if (mates) {
                    mates->finish(nth);
                }
            };
            const std::unique_ptr<void, decltype(finished)> finishing(&input, finished);
            std::unique_ptr<RecordWriter> writer;
            RecordSink* sink = input.places.get();
            if (input.output) {
                writer = std::make_unique<RecordWriter>(*input.output, input.records->format(), input.records->input());
                sink = writer.get();
            }
            const io::Progress progress = nth == 0 ? front.meter().progress(reading_label) : io::Progress();
            input.handed = input.later ? read_in_halves(input, *sink, writer.get(), selector, choice.exclude, progress,
                                                        table.size(), spool_folders.at(nth))
                                       : read_records(*input.records, selector, choice.exclude, *sink, input.taken,
                                                      progress, table.size(), mates.get(), nth);
        },
        [&mates] {
            if (mates) {
                mates->read_in_parallel();
            }
        });
    front.meter().end_line();
    std::optional<std::uint64_t> scanned;
    std::optional<std::uint64_t> indexed;
    std::optional<std::uint64_t> located;
    for (Input& input : inputs) {
        if (!input.records) {
            indexed = indexed.value_or(0) + input.indexed_records;
            located = located.value_or(0) + input.located;
            continue;
        }
        session::check_read_whole(front, input.records->input());
        if (input.records->malformed()) {
            front.input_cut_short(*input.records->malformed());
        }
        scanned = scanned.value_or(0) + input.records->records();
    }
    if (const std::optional<std::string> fault = mates ? mates->fault() : std::nullopt) {
        throw Abort{Failure::unreadable_input, *fault};
    }
    if (scanned) {
        front.show_count(records_scanned, static_cast<std::int64_t>(*scanned));
    }
    if (indexed) {
        front.show_count(records_in_index, static_cast<std::int64_t>(*indexed));
        front.show_count(records_located, static_cast<std::int64_t>(*located));
    }
}

std::string count_of_records(std::uint64_t count) {
    return std::to_string(count) + (count == 1 ? " record" : " records");
}

// Paired inputs stay in step only where each name takes as many records from every input.
void check_in_step(const NameTable& table, const std::vector<Input>& inputs) {
    for (std::size_t position = 0; position < table.size(); ++position) {
        const std::uint32_t slot = table.slot(position);
        for (std::size_t nth = 1; nth < inputs.size(); ++nth) {
            if (inputs[nth].taken[slot] != inputs[0].taken[slot]) {
                throw Abort{Failure::unreadable_input, text::quoted(table.names().name(position)) + " takes " +
                                                           count_of_records(inputs[0].taken[slot]) + " in " +
                                                           text::file_label(inputs[0].name, false) + " but " +
                                                           count_of_records(inputs[nth].taken[slot]) + " in " +
                                                           text::file_label(inputs[nth].name, false)};
            }
        }
    }
}

bool found_at(const NameTable& table, const std::vector<Input>& inputs, std::size_t position) {
    const std::uint32_t slot = table.slot(position);
    for (const Input& input : inputs) {
        if (input.taken[slot] > 0) {
            return true;
        }
    }
    return false;
}

// A missing name that word matching can never find is told with what would take it: once for
// a name holding a blank (no first word does), once for one ending in a mate number (a file
// may carry it in another word, "@x 1:N:0").
void hint_at_unmatchable_names(Front& front, const NameTable& table, const std::vector<Input>& inputs,
                               const Choice& choice) {
    if (choice.selection.matching != Matching::word) {
        return;
    }
    bool blank_told = false;
    bool mate_told = false;
    for (std::size_t position = 0; position < table.size(); ++position) {
        const std::string_view name = table.names().name(position);
        if (found_at(table, inputs, position)) {
            continue;
        }
        if (!blank_told && name.find_first_of(" \t") != std::string_view::npos) {
            blank_told = true;
            front.warn(text::quoted(name) +
                       " holds a blank, and a header's first word never does: --list-column 1 "
                       "takes each list line's first field, --match prefix or full the header line");
        } else if (!mate_told && name.size() > 2 && (name.ends_with("/1") || name.ends_with("/2"))) {
            mate_told = true;
            front.warn(text::quoted(name) +
                       " ends in a mate number, which headers may carry in another word (@x "
                       "1:N:0): the name without it takes both mates");
        }
    }
}

// Excluding, listed names the input lacks are expected: only counted.
void count_excluded(Front& front, const NameTable& table, const std::vector<Input>& inputs) {
    std::size_t found = 0;
    for (std::size_t position = 0; position < table.size(); ++position) {
        found += found_at(table, inputs, position) ? 1 : 0;
    }
    front.show_count(session::found_count, static_cast<std::int64_t>(found));
    front.show_count(session::missing_count, static_cast<std::int64_t>(table.size() - found));
}

void write_in_list_order(Front& front, std::vector<Input>& inputs, const NameTable& table) {
    const std::vector<io::OutputFile*> outputs = create_outputs(front, inputs);
    for (Input& input : inputs) {
        const io::InputFile* const file = input.records ? input.records->input().plain_file() : nullptr;
        for (const io::OutputFile* const output : outputs) {
            if (file != nullptr && output->writes_over(*file)) {
                input.places->keep_apart();
            }
        }
    }
    session::begin_writing(outputs);
    std::uint64_t written = 0;
    for (Input& input : inputs) {
        input.places->arrange();
        written += write_in_list_order(*input.output, table, *input.places, front.meter().progress(writing_label));
        // What was read again must still be the file that was scanned.
        if (input.records) {
            session::check_read_whole(front, input.records->input());
        }
    }
    session::close_outputs(outputs);
    front.meter().end_line();
    front.show_count(records_written, static_cast<std::int64_t>(written));
}

void finish_file_order(Front& front, std::vector<Input>& inputs) {
    for (Input& input : inputs) {
        if (!input.records) {
            io::OutputFile& output = *input.output;
            input.handed = input.places->write_as_taken([&](std::string_view piece) { output.write(piece); });
        }
    }
    session::close_outputs(outputs_of(inputs));
    std::uint64_t written = 0;
    for (const Input& input : inputs) {
        written += input.handed;
    }
    front.show_count(records_written, static_cast<std::int64_t>(written));
}

Outcome run_steps(Front& front, const Choice& choice, const std::vector<std::string>& spool_folders) {
    const NameTable table = read_name_list(front, choice);
    const NameSelector selector(table, choice.selection.matching, choice.selection.words_first);
    std::vector<Input> inputs = open_inputs(front, table, selector, choice, spool_folders);
    if (choice.order == Order::file) {
        // Written while the inputs are read.
        session::begin_writing(create_outputs(front, inputs));
    }
    read_inputs(front, inputs, table, selector, choice, spool_folders);
    if (choice.selection.words_first) {
        front.show_count(records_by_prefix, static_cast<std::int64_t>(selector.taken_by_prefix()));
    }
    check_in_step(table, inputs);
    if (choice.exclude) {
        count_excluded(front, table, inputs);
    } else {
        const bool go_on = session::confirm_missing(
            front, table.names(), [&](std::size_t position) { return found_at(table, inputs, position); });
        hint_at_unmatchable_names(front, table, inputs, choice);
        if (!go_on) {
            return Outcome::declined;
        }
    }
    if (choice.order == Order::file) {
        finish_file_order(front, inputs);
    } else {
        write_in_list_order(front, inputs, table);
    }
    return Outcome::done;
}

// A stream's records wait beside the output they are for, where that is a file; otherwise in
// the folder for temporary files.
std::string spool_folder_for(const std::string& output) {
    if (output == "-" || io::special_file_kind(output)) {
        return temporary_folder();
    }
    const std::filesystem::path folder = std::filesystem::path(output).parent_path();
    return folder.empty() ? "." : folder.string();
}

}  // namespace

Outcome run(std::istream& in, std::ostream& out) {
    session::DialogueFront front(in, out, dialogue_texts);
    return session::run_session(
        front, [](Front& steps_front) { return run_steps(steps_front, Choice{}, {temporary_folder()}); });
}

Outcome run_batch(Front& front, const session::BatchOptions& common, const Options& options) {
    if (common.files_mode) {
        return session::run_session(front,
                                    [&](Front& steps_front) { return build_indexes(steps_front, common.mode_files); });
    }
    std::vector<std::string> spool_folders;
    for (const std::string& output : common.paths_of(output_file)) {
        spool_folders.push_back(spool_folder_for(output));
    }
    if (std::optional<RegionChoice> regions = region_choice_of(common, options)) {
        const std::string& output = common.path_of(output_file);
        regions->output_replaced = !output.empty() && output != "-" && !io::special_file_kind(output);
        return session::run_session(front, [&](Front& steps_front) {
            return run_regions(steps_front, *regions, spool_folders.at(0), spool_budget);
        });
    }
    Choice choice = choice_of(options);
    choice.list_column = common.list_column;
    return session::run_session(front,
                                [&](Front& steps_front) { return run_steps(steps_front, choice, spool_folders); });
}

}  // namespace talmiro
