#include "front/session.hpp"

#include "io/foreign_content.hpp"
#include "io/name_lines.hpp"
#include "text/quoting.hpp"

namespace session {

Outcome run_session(Front& front, const std::function<Outcome(Front&)>& steps) {
    try {
        front.start();
        const Outcome outcome = steps(front);
        if (outcome == Outcome::done) {
            front.finish();
        }
        return outcome;
    } catch (const Abort& abort) {
        front.report(abort);
        if (abort.misuse) {
            return Outcome::misused;
        }
    } catch (const io::RaisedError& raised) {
        front.report(Abort{
            raised.side == io::RaisedError::Side::output ? Failure::cannot_write_output : Failure::unreadable_input,
            raised.message});
    } catch (const std::bad_alloc&) {
        // Beyond the tables each step sizes and checks itself, only an absurdly long line or
        // token, or more taken records than memory holds, can get here.
        front.report(Abort{Failure::out_of_memory, "out of memory"});
    }
    return Outcome::failed;
}

bool confirm_missing(Front& front, const text::NameList& names, const std::function<bool(std::size_t)>& found_at,
                     std::string_view part) {
    std::size_t missing = 0;
    for (std::size_t position = 0; position < names.size(); ++position) {
        if (!found_at(position)) {
            ++missing;
        }
    }
    front.show_count(found_count, static_cast<std::int64_t>(names.size() - missing));
    front.show_count(missing_count, static_cast<std::int64_t>(missing));
    for (std::size_t position = 0; position < names.size(); ++position) {
        if (!found_at(position) && !front.go_on_without(names.name(position), part)) {
            return false;
        }
    }
    return front.accept_missing(missing);
}

void refuse_foreign_content(io::ReadBuffer& input, std::string_view wanted) {
    if (const std::optional<std::string> kind = io::foreign_content(input.peek(io::foreign_content_bytes))) {
        raise_unreadable(io::IoError::bad_content(input.name(), "it is " + *kind + ", not " + std::string(wanted)));
    }
}

text::NameList read_list_column(Front& front, const FileRole& list_file, std::uint32_t column) {
    io::LineReader list(front.open_input(list_file));
    std::optional<std::uint64_t> short_line;
    text::NameList names = io::read_name_column(list, column, short_line);
    check_read_whole(front, list.input());
    if (short_line) {
        raise_unreadable(io::IoError::bad_content(
            list.input().name(),
            "it has no field " + std::to_string(column) + " (--list-column " + std::to_string(column) + ")",
            *short_line));
    }
    return names;
}

void warn_of_repeated_names(Front& front, const text::NameList& names) {
    std::vector<std::uint32_t> places(names.slot_count(), 0);
    for (std::size_t position = 0; position < names.size(); ++position) {
        ++places[names.slot(position)];
    }
    // As with missing names, a long run of them says little more past its first lines than
    // their number.
    constexpr std::size_t most_told = 20;
    std::size_t repeated = 0;
    for (std::size_t position = 0; position < names.size(); ++position) {
        const std::uint32_t slot = names.slot(position);
        if (places[slot] > 1 && names.first_position(slot) == position && ++repeated <= most_told) {
            front.warn(text::quoted(names.name(position)) + " is listed " + std::to_string(places[slot]) +
                       " times: it is written at each place");
        }
    }
    if (repeated > most_told) {
        front.warn(std::to_string(repeated - most_told) + " more names are listed several times");
    }
}

void check_read_whole(Front& front, const io::ReadBuffer& input) {
    if (const std::optional<io::IoError> failure = input.read_failure()) {
        front.input_cut_short(*failure);
    }
}

void raise_unreadable(const io::IoError& error) { throw Abort{Failure::unreadable_input, error.describe()}; }

void begin_writing(std::span<io::OutputFile* const> outputs) {
    for (io::OutputFile* const output : outputs) {
        if (output != nullptr) {
            output->begin_writing();
        }
    }
}

void close_outputs(std::span<io::OutputFile* const> outputs) {
    // Every output is written in full before any replaces its target: a failed one leaves all
    // targets as they were.
    const auto raise_first_error = [&] {
        for (io::OutputFile* const output : outputs) {
            if (output != nullptr && output->error()) {
                throw Abort{Failure::cannot_write_output, output->error()->describe()};
            }
        }
    };
    for (io::OutputFile* const output : outputs) {
        if (output != nullptr) {
            output->finish();
        }
    }
    raise_first_error();
    for (io::OutputFile* const output : outputs) {
        if (output != nullptr) {
            output->commit();
        }
    }
    raise_first_error();
}

}  // namespace session
