#include "session.hpp"

#include <iostream>

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
    } catch (const std::bad_alloc&) {
        // Beyond the tables each step sizes and checks itself, only an absurdly long line or
        // token, or more taken records than memory holds, can get here.
        front.report(Abort{Failure::out_of_memory, "out of memory"});
    }
    return Outcome::failed;
}

bool confirm_missing(Front& front, const lists::NameList& names, const std::function<bool(std::size_t)>& found_at) {
    for (std::size_t position = 0; position < names.size(); ++position) {
        if (!found_at(position) && !front.go_on_without(names.name(position))) {
            return false;
        }
    }
    return true;
}

void close_outputs(std::initializer_list<io::OutputFile*> outputs) {
    const io::IoError* first_error = nullptr;
    for (io::OutputFile* const output : outputs) {
        if (!output->close() && first_error == nullptr) {
            first_error = &*output->error();
        }
    }
    if (first_error != nullptr) {
        throw Abort{Failure::cannot_write_output, first_error->describe()};
    }
}

int dialogue_main(Outcome (*run)(std::istream&, std::ostream&)) {
    // The console streams carry only prompts, counts and the meter; stdio sync buys nothing.
    std::ios::sync_with_stdio(false);
    std::cin.tie(&std::cout);
    run(std::cin, std::cout);
    return 0;
}

}  // namespace session
