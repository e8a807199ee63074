#include "front/session.hpp"

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

void check_read_whole(Front& front, const io::ReadBuffer& input) {
    if (input.changed()) {
        front.input_cut_short(io::IoError::changed_while_read(input.name()));
    }
    if (input.error()) {
        front.input_cut_short(*input.error());
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
