// One run of a program, whoever drives it: what a program says of its files and counts, what a
// step raises when it cannot go on, the front that answers a run's questions and shows what it
// reports, and the steps every list-driven run shares.
#pragma once

#include "front/dialogue.hpp"
#include "front/enum_table.hpp"
#include "io/input_file.hpp"
#include "io/io_error.hpp"
#include "io/output_file.hpp"
#include "io/read_buffer.hpp"
#include "text/name_list.hpp"

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <limits>
#include <new>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace session {

// What stopped a run. The dialogue shows each kind's fixed message; the detail says which file
// and why, for a report that can name them.
enum class Failure {
    cannot_open_input,
    out_of_memory,
    cannot_create_output,
    same_outputs,
    cannot_write_output,
    unreadable_input,  // batch mode only: the dialogue reads on as if the input had ended
    count
};

// Raised by a failing step; the session reports it once and RAII closes and releases whatever
// the steps held.
struct Abort {
    Failure failure;
    std::string detail;
    // A use of options that only the input shows to be wrong: the run ends as a usage error.
    bool misuse = false;
};

// How a run ended: the outputs are written, the user declined to go on without a missing name,
// or a step failed (and has been reported).
enum class Outcome { done, declined, failed, misused };

// One of a program's files, as the program declares it: how the command line names it and how
// the dialogue asks for it. Every field must be given.
struct FileRole {
    enum class Direction { input, output };
    // `one_or_more`: batch mode takes the option again for each further file (paired inputs);
    // the dialogue always asks for one.
    enum class Need { required, optional, one_or_more };

    constexpr FileRole(Direction way, Need needed, std::string_view option_names, std::string_view value,
                       std::string_view what, std::string_view question)
        : direction(way), need(needed), options(option_names), value_name(value), help(what), prompt(question) {}

    // The long option, "--list" of "-l,--list".
    constexpr std::string_view long_option() const { return options.substr(options.rfind(',') + 1); }

    Direction direction;
    Need need;
    std::string_view options;     // "-l,--list"
    std::string_view value_name;  // "LIST"
    std::string_view help;
    std::string_view prompt;  // the dialogue's question; empty where the dialogue never asks
};

// One count a run reports: its name for -v, and the dialogue's line around the number (a count
// with no line is not shown there). Every field must be given.
struct CountKind {
    constexpr CountKind(std::string_view batch_name, std::string_view line_before, std::string_view line_after)
        : name(batch_name), before(line_before), after(line_after) {}

    std::string_view name;
    std::string_view before;
    std::string_view after;
};

// The counts every list-driven run shows once it has looked for the listed names.
inline constexpr CountKind found_count{"found", {}, {}};
inline constexpr CountKind missing_count{"missing", {}, {}};

// Whoever drives a run: where its files come from, where its counts, meter and failures go,
// and whether it goes on without a listed name the input lacks.
class Front {
public:
    virtual ~Front() = default;

    virtual void start() = 0;
    // How many files the run names for `role` (the dialogue: one); `nth` below counts from 0.
    virtual std::size_t files_named(const FileRole& role) const = 0;
    virtual io::InputFile open_input(const FileRole& role, std::size_t nth) = 0;
    io::InputFile open_input(const FileRole& role) { return open_input(role, 0); }
    // Whether the run writes this output at all (batch mode writes optional ones on request).
    virtual bool wants_output(const FileRole& role) const = 0;
    virtual io::OutputFile create_output(const FileRole& role, std::size_t nth) = 0;
    io::OutputFile create_output(const FileRole& role) { return create_output(role, 0); }
    // A file the program names itself (an index beside the file it describes), written as is and,
    // like every output, put in place only once whole.
    virtual io::OutputFile create_named_output(const std::string& path) = 0;
    virtual void show_count(const CountKind& what, std::int64_t count) = 0;
    virtual console::Meter& meter() = 0;
    // Each listed name the input lacks, in list order, then their number; false from either
    // stops the run.
    // `part` names where in the input it was looked for ("data set 2"), when not the whole input.
    virtual bool go_on_without(std::string_view name, std::string_view part) = 0;
    virtual bool accept_missing(std::size_t missing) = 0;
    // An input that could not be read to its end (a read error, a value that is no number, a
    // file shorter than it says). The dialogue reads on, as it always has: what follows is then
    // not found, and the user meets it at the continue question.
    virtual void input_cut_short(const io::IoError& error) = 0;
    // Something the run does as asked but the user may not expect. Batch mode says it on standard
    // error; the dialogue says nothing, as its transcript has no place for it.
    virtual void warn(std::string_view what) = 0;
    // How the run read its input, for -v alone: why an index beside it was not used, say.
    virtual void note(std::string_view what) = 0;
    virtual void report(const Abort& abort) = 0;
    virtual void finish() = 0;
};

// The file an open or create gave, or the step's Abort with the reason it could not be had.
template <typename File>
File opened_or_abort(std::optional<File> file, const std::optional<io::IoError>& error, Failure failure) {
    if (!file) {
        throw Abort{failure, error->describe()};
    }
    return std::move(*file);
}

// Runs the steps through `front`: a step's Abort, or memory running out anywhere, is reported
// once, and every way out simply returns (RAII has closed and released whatever the steps held).
// The front's closing follows steps that end done.
Outcome run_session(Front& front, const std::function<Outcome(Front&)>& steps);

// Shows the count of a list just read (as `entries`) and builds the program's table of it. The
// count sizes every table as a signed 32-bit number, so a longer list is a memory failure, as
// is one whose names did not fit. `how` goes to the table's constructor after the names.
template <typename Table, typename... How>
Table take_list(Front& front, const CountKind& entries, text::NameList names, const How&... how) {
    front.show_count(entries, static_cast<std::int64_t>(names.count()));
    if (names.out_of_memory() || names.count() > std::numeric_limits<std::int32_t>::max()) {
        throw Abort{Failure::out_of_memory, "out of memory for the list"};
    }
    try {
        return Table(std::move(names), how...);
    } catch (const std::bad_alloc&) {
        throw Abort{Failure::out_of_memory, "out of memory for the list"};
    }
}

// Batch mode refuses an input that is a kind of file none of its readers takes (a BAM file, a zip
// archive...), naming what it looks like and what was wanted (`wanted`: "FASTA or FASTQ").
void refuse_foreign_content(io::ReadBuffer& input, std::string_view wanted);

// The list's names as the `column`-th field of each line (--list-column); a line with fields but
// not that many fails the run naming it.
text::NameList read_list_column(Front& front, const FileRole& list_file, std::uint32_t column);

// A name listed several times is written at each place, as the dialogue does; batch mode says so
// once per name, as it is more often a slip in a list than a wish.
void warn_of_repeated_names(Front& front, const text::NameList& names);

// Puts each listed name that was not found to the front, in list order, and shows how many were
// found and missing; false at the first refusal, when the names after it are not asked about.
bool confirm_missing(Front& front, const text::NameList& names, const std::function<bool(std::size_t)>& found_at,
                     std::string_view part = {});

// Tells the front when the input could not be read to its end: another process cut it short
// while it was read, or a read (or its decoding) failed.
void check_read_whole(Front& front, const io::ReadBuffer& input);

// An input that cannot be read as the run asks, found by a step that only batch mode takes: the
// run's failure.
[[noreturn]] void raise_unreadable(const io::IoError& error);

// Closes every output (null: none), then raises the first write failure among them.
void close_outputs(std::span<io::OutputFile* const> outputs);
inline void close_outputs(std::initializer_list<io::OutputFile*> outputs) { close_outputs(std::span(outputs)); }

// Empties the outputs (null: none) a run opened in place, once every output step has passed.
void begin_writing(std::span<io::OutputFile* const> outputs);
inline void begin_writing(std::initializer_list<io::OutputFile*> outputs) { begin_writing(std::span(outputs)); }

}  // namespace session
