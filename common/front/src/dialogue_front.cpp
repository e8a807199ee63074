#include "front/dialogue_front.hpp"

#include <ostream>

namespace session {

DialogueFront::DialogueFront(std::istream& in, std::ostream& out, const DialogueTexts& texts)
    : console_(in, out), texts_(texts) {}

void DialogueFront::start() { console_.print_banner(texts_.title_line); }

io::InputFile DialogueFront::open_input(const FileRole& role, std::size_t) {
    const std::string name = console_.prompt_file_name(role.prompt);
    std::optional<io::IoError> error;
    return opened_or_abort(io::InputFile::open(name, &error), error, Failure::cannot_open_input);
}

io::OutputFile DialogueFront::create_output(const FileRole& role, std::size_t) {
    const std::string name = console_.prompt_file_name(role.prompt);
    std::optional<io::IoError> error;
    return opened_or_abort(io::OutputFile::create(name, &error), error, Failure::cannot_create_output);
}

io::OutputFile DialogueFront::create_named_output(const std::string& path) {
    std::optional<io::IoError> error;
    return opened_or_abort(io::OutputFile::create(path, &error), error, Failure::cannot_create_output);
}

void DialogueFront::show_count(const CountKind& what, std::int64_t count) {
    // The dialogue shows only the counts it has a line for.
    if (!what.before.empty()) {
        console_.out() << '\n' << what.before << count << what.after << '\n';
    }
}

bool DialogueFront::go_on_without(std::string_view name, std::string_view /*part: the dialogue reads one*/) {
    std::string line;
    line.append(texts_.missing_line[0]).append(name).append(texts_.missing_line[1]);
    return console_.confirm_continue(line);
}

void DialogueFront::report(const Abort& abort) { console_.report_abort(texts_.aborts[abort.failure]); }

void DialogueFront::finish() { console_.out() << texts_.closing << std::flush; }

}  // namespace session
