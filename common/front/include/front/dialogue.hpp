// The dialogue both programs hold with the user: banner, file-name prompts, abort reports, the
// percentage meter and the continue question.
//
// Nothing here knows what a program reads or writes: every text shown is handed in
// by the calling run, which also decides what follows each answer.
#pragma once

#include "io/progress.hpp"

#include <chrono>
#include <cstdint>
#include <functional>
#include <iosfwd>
#include <string>
#include <string_view>

namespace console {

using io::percentage;

// A percentage meter on one line, redrawn in place. A meter with no stream draws nothing, for
// runs nobody watches.
class Meter {
public:
    // When it is now; tests hand in a clock of their own.
    using Instant = std::chrono::steady_clock::time_point;
    using Clock = std::function<Instant()>;
    // Where the redraws go: a terminal is drawn at most once an interval, anything else (a file,
    // a pipe: the transcript) gets every redraw. `detect` asks whether the stream is the
    // standard output or error and that a terminal.
    enum class Display { detect, terminal, transcript };

    Meter() = default;
    explicit Meter(std::ostream& out, Clock clock = std::chrono::steady_clock::now, Display display = Display::detect);

    void begin(std::string_view label);
    // Redraws the line; `label` is the plain label, the carriage return is ours. Into a
    // transcript every redraw is written, but pushed out at most every `redraw_interval`: a
    // person cannot see more, and a flush per matched row or record would cost a system call
    // each. On a terminal a redraw within the interval is not written at all, only remembered:
    // thousands of redraws a second cost the terminal far more than the run. A redraw at 100% is
    // drawn and pushed at once; the last one remembered is drawn when the line ends.
    void step(std::string_view label, std::int64_t percent);
    // Ends the meter's line.
    void end_line();
    // What a reader or writer is handed: begin and step with `label`, on this meter.
    io::Progress progress(std::string_view label) {
        return {[this, label] { begin(label); }, [this, label](std::int64_t percent) { step(label, percent); }};
    }

    static constexpr std::chrono::milliseconds redraw_interval{40};

private:
    void draw(std::string_view label, std::int64_t percent);

    std::ostream* out_ = nullptr;
    Clock clock_;
    bool terminal_ = false;
    Instant last_flush_{};
    std::string_view pending_label_;  // terminal: the last redraw not yet drawn, if any
    std::int64_t pending_percent_ = -1;
};

class Console {
public:
    Console(std::istream& in, std::ostream& out, Meter::Clock clock = std::chrono::steady_clock::now);

    void print_banner(std::string_view title_line);

    // An empty name when standard input ends before one is typed, so the caller's open
    // fails with its own abort message instead of waiting forever.
    std::string prompt_file_name(std::string_view prompt);

    void report_abort(std::string_view message);

    Meter& meter() { return meter_; }

    // Yes only for "y" or "Y"; only that one character is consumed. End of input is no.
    bool confirm_continue(std::string_view missing_line);

    // For the run's own lines (counts, success texts).
    std::ostream& out() { return out_; }

private:
    std::istream& in_;
    std::ostream& out_;
    Meter meter_;
};

}  // namespace console
