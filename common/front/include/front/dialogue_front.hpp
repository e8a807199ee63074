// The dialogue: every file name is asked for, every count shown, every missing name put to the
// user, and each failure told by the program's own fixed message.
#pragma once

#include "front/session.hpp"

#include <array>
#include <iosfwd>

namespace session {

// The texts the dialogue shows beyond those of the files and counts.
struct DialogueTexts {
    std::string_view title_line;
    EnumTable<Failure, std::string_view> aborts;
    std::array<std::string_view, 2> missing_line;  // around the name
    std::string_view closing;
};

class DialogueFront final : public Front {
public:
    DialogueFront(std::istream& in, std::ostream& out, const DialogueTexts& texts);

    void start() override;
    using Front::create_output;
    using Front::open_input;
    std::size_t files_named(const FileRole&) const override { return 1; }
    io::InputFile open_input(const FileRole& role, std::size_t nth) override;
    bool wants_output(const FileRole&) const override { return true; }
    io::OutputFile create_output(const FileRole& role, std::size_t nth) override;
    io::OutputFile create_named_output(const std::string& path) override;
    void show_count(const CountKind& what, std::int64_t count) override;
    console::Meter& meter() override { return console_.meter(); }
    bool go_on_without(std::string_view name, std::string_view part) override;
    bool accept_missing(std::size_t) override { return true; }
    void input_cut_short(const io::IoError&) override {}
    void warn(std::string_view) override {}
    void note(std::string_view) override {}
    void report(const Abort& abort) override;
    void finish() override;

private:
    console::Console console_;
    const DialogueTexts& texts_;
};

}  // namespace session
