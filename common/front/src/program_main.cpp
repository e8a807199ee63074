#include "front/batch_front.hpp"

#include <csignal>
#include <iostream>

namespace session {

int program_main(int argc, char** argv, const Program& program, BatchProgram& batch) {
    // Past a file size limit a write then fails with EFBIG and is reported like any other,
    // instead of the signal killing the program and leaving a cut file.
    std::signal(SIGXFSZ, SIG_IGN);
    std::ios::sync_with_stdio(false);
    if (argc <= 1) {
        // The console streams carry only prompts, counts and the meter; stdio sync buys nothing.
        std::cin.tie(&std::cout);
        program.dialogue(std::cin, std::cout);
        return 0;
    }
    const ParsedCommandLine parsed =
        parse_command_line(program, batch, std::vector<std::string>(argv + 1, argv + argc), std::cout, std::cerr);
    if (!parsed.options) {
        return parsed.exit_status;
    }
    io::TempFiles temps;  // before any helper thread starts
    BatchFront front(program, *parsed.options, std::cerr, temps);
    const Outcome outcome = batch.run(front, *parsed.options);
    std::cout.flush();
    return outcome == Outcome::done ? 0 : 1;
}

}  // namespace session
