// One run of a program, whoever drives it: the steps both programs share, what a step raises
// when it cannot go on, and the front that answers a run's questions and shows what it reports.
#pragma once

#include "dialogue.hpp"
#include "io.hpp"
#include "name_list.hpp"

#include <array>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <iosfwd>
#include <limits>
#include <new>
#include <optional>
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
};
constexpr std::size_t failure_kinds = 6;

// Raised by a failing step; the session reports it once and RAII closes and releases whatever
// the steps held.
struct Abort {
    Failure failure;
    std::string detail;
};

// How a run ended: the outputs are written, the user declined to go on without a missing name,
// or a step failed (and has been reported).
enum class Outcome { done, declined, failed };

// The files of a run. orvane names all four, talmiro all but the sample.
enum class Role { list, input, output, sample };
constexpr std::size_t role_count = 4;

// The counts a run reports as it goes.
enum class Count { list_entries, matrix_order, records_read, found, missing, written };
constexpr std::size_t count_kinds = 6;

// Whoever drives a run: where its files come from, where its counts, meter and failures go,
// and whether it goes on without a listed name the input lacks.
class Front {
public:
    virtual ~Front() = default;

    virtual void start() = 0;
    virtual io::InputFile open_input(Role role) = 0;
    // Whether the run writes this output at all (batch mode writes the sample only on request).
    virtual bool wants_output(Role role) const = 0;
    virtual io::OutputFile create_output(Role role) = 0;
    virtual void show_count(Count what, std::int64_t count) = 0;
    virtual console::Meter& meter() = 0;
    // Each listed name the input lacks, in list order, then their number; false from either
    // stops the run.
    virtual bool go_on_without(std::string_view name) = 0;
    virtual bool accept_missing(std::size_t missing) = 0;
    // An input that could not be read to its end (a read error, a value that is no number, a
    // file shorter than it says). The dialogue reads on as designed: what follows is not found.
    virtual void input_cut_short(const std::string& detail) = 0;
    virtual void report(const Abort& abort) = 0;
    virtual void finish() = 0;
};

// The dialogue: every file name is asked for, every count shown, every missing name put to the
// user, and each failure told by the program's own fixed message.
struct DialogueTexts {
    std::string_view title_line;
    std::array<std::string_view, role_count> prompts;    // by Role
    std::array<std::string_view, failure_kinds> aborts;  // by Failure
    // The count lines, each "\n" + before + count + after + "\n"; a count with no text is not shown.
    std::array<std::array<std::string_view, 2>, count_kinds> count_lines;
    std::array<std::string_view, 2> missing_line;  // around the name
    std::string_view closing;
};

class DialogueFront final : public Front {
public:
    DialogueFront(std::istream& in, std::ostream& out, const DialogueTexts& texts);

    void start() override;
    io::InputFile open_input(Role role) override;
    bool wants_output(Role) const override { return true; }
    io::OutputFile create_output(Role role) override;
    void show_count(Count what, std::int64_t count) override;
    console::Meter& meter() override { return console_.meter(); }
    bool go_on_without(std::string_view name) override;
    bool accept_missing(std::size_t) override { return true; }
    void input_cut_short(const std::string&) override {}
    void report(const Abort& abort) override;
    void finish() override;

private:
    console::Console console_;
    const DialogueTexts& texts_;
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

// Shows the count of a list just read and builds the program's table of it. The count sizes
// every table as a signed 32-bit number, so a longer list is a memory failure, as is one whose
// names did not fit.
template <typename Table>
Table take_list(Front& front, lists::NameList names) {
    front.show_count(Count::list_entries, static_cast<std::int64_t>(names.count()));
    if (names.out_of_memory() || names.count() > std::numeric_limits<std::int32_t>::max()) {
        throw Abort{Failure::out_of_memory, "out of memory for the list"};
    }
    try {
        return Table(std::move(names));
    } catch (const std::bad_alloc&) {
        throw Abort{Failure::out_of_memory, "out of memory for the list"};
    }
}

// Puts each listed name that was not found to the front, in list order, and shows how many were
// found and missing; false at the first refusal, when the names after it are not asked about.
bool confirm_missing(Front& front, const lists::NameList& names, const std::function<bool(std::size_t)>& found_at);

// Tells the front when the input could not be read to its end: another process cut it short
// while it was read, or a read (or its decoding) failed.
void check_read_whole(Front& front, const io::ReadBuffer& input);

// Closes every output (null: none), then raises the first write failure among them.
void close_outputs(std::initializer_list<io::OutputFile*> outputs);

// Empties the outputs (null: none) a run opened in place, once every output step has passed.
void begin_writing(std::initializer_list<io::OutputFile*> outputs);

}  // namespace session
