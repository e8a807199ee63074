#include "front/batch_front.hpp"
#include "threads/helper.hpp"

#include <fcntl.h>
#include <unistd.h>
#include <csignal>
#include <iostream>

namespace session {

namespace {

// A standard descriptor the caller closed (`>&-`) would be the number the next file opened
// takes, and the output or a message meant for that stream would land in it. Each one closed is
// opened on /dev/null instead, and remembered, so that a run asked to use it can say it is closed.
StandardStreams reopen_closed_standard_streams() {
    StandardStreams closed;
    for (const auto& [descriptor, flag] : {std::pair{STDIN_FILENO, &closed.input_closed},
                                           {STDOUT_FILENO, &closed.output_closed},
                                           {STDERR_FILENO, &closed.error_closed}}) {
        if (::fcntl(descriptor, F_GETFD) < 0) {
            *flag = ::open("/dev/null", descriptor == STDIN_FILENO ? O_RDONLY : O_WRONLY) == descriptor;
        }
    }
    return closed;
}

}  // namespace

int program_main(int argc, char** argv, const Program& program, BatchProgram& batch) {
    // Past a file size limit a write then fails with EFBIG and is reported like any other,
    // instead of the signal killing the program and leaving a cut file.
    std::signal(SIGXFSZ, SIG_IGN);
    const StandardStreams streams = reopen_closed_standard_streams();
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
    // A reader of standard output that goes away (`| head`) makes the next write fail with EPIPE,
    // a write failure like any other: the run fails, and no output's temporary file is left
    // behind, as the signal would leave it.
    std::signal(SIGPIPE, SIG_IGN);
    if (parsed.options->threads) {
        // Every path that decides its helpers from the CPUs then takes no more than asked.
        static_cast<void>(threads::keep_to_cores(*parsed.options->threads));
    }
    io::TempFiles temps;  // before any helper thread starts
    BatchFront front(program, *parsed.options, std::cerr, temps, streams);
    const Outcome outcome = batch.run(front, *parsed.options);
    std::cout.flush();
    return outcome == Outcome::done ? 0 : outcome == Outcome::misused ? 2 : 1;
}

}  // namespace session
