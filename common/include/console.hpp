// The dialogue both programs hold with the user, and the file handles they open by name.
//
// Nothing here knows about lists, matrices or FASTA records: every text shown is handed in
// by the calling run, which also decides what follows each answer.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <iosfwd>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace console {

// Raised by a failing step with its constant message; the run reports it once and lets
// RAII close and release whatever the step held.
struct Abort {
    std::string_view message;
};

// (done * 100) / total, truncated. 64-bit so that a count near the 32-bit limit does not wrap.
std::int64_t percentage(std::int64_t done, std::int64_t total);

class InputFile;
class OutputFile;

class Console {
public:
    Console(std::istream& in, std::ostream& out);

    void print_banner(std::string_view title_line);

    // An empty name when standard input ends before one is typed, so the caller's open
    // fails with its own abort message instead of waiting forever.
    std::string prompt_file_name(std::string_view prompt);

    void report_abort(std::string_view message);

    void progress_begin(std::string_view label);
    // Redraws the meter line in place; `label` is the plain label, the carriage return is ours.
    // Every redraw is written, but pushed to the screen at most every `redraw_interval`: a
    // person cannot see more, and a flush per matched row or record would cost a system call
    // each. A redraw at 100% is pushed at once; whatever else is still buffered goes out with
    // the next prompt, question or the end.
    void progress_step(std::string_view label, std::int64_t percent);
    static constexpr std::chrono::milliseconds redraw_interval{40};

    // Yes only for "y" or "Y"; only that one character is consumed. End of input is no.
    bool confirm_continue(std::string_view missing_line);

    // Asks for a file name and opens that file for reading, or for writing (creating it, or
    // emptying it); raises Abort with `abort_message` when it cannot be opened.
    InputFile open_input_file(std::string_view prompt, std::string_view abort_message);
    OutputFile create_output_file(std::string_view prompt, std::string_view abort_message);

    // For the run's own lines (counts, success texts).
    std::ostream& out() { return out_; }

private:
    std::istream& in_;
    std::ostream& out_;
    std::chrono::steady_clock::time_point last_flush_{};
};

// The names of a list file in list order, each held whole. A name listed more than once has
// one slot shared by all its places, so whatever is found for it is found at every place.
class NameList {
public:
    // Adds the next name. Once memory runs out names are still counted, so the count can be
    // shown before the run reports the failure.
    void add(std::string_view name);
    std::size_t count() const { return count_; }
    bool out_of_memory() const { return out_of_memory_; }

    // Assigns the slots; call once, after the last add. May throw std::bad_alloc.
    void assign_slots();

    std::size_t size() const { return ends_.size(); }
    std::string_view name(std::size_t position) const;
    std::uint32_t slot(std::size_t position) const { return slot_of_position_[position]; }
    std::size_t slot_count() const { return first_position_of_slot_.size(); }
    std::size_t first_position(std::uint32_t slot) const { return first_position_of_slot_[slot]; }

    // The slot whose name equals `name` exactly, or -1.
    std::int64_t find_slot(std::string_view name) const;

private:
    // Every name, back to back. A vector, not a string: its storage survives a move of the
    // list (no small-string buffer), and slot_of_name_ holds views into it.
    std::vector<char> text_;
    std::vector<std::size_t> ends_;  // where each name ends in text_
    std::size_t count_ = 0;
    bool out_of_memory_ = false;
    std::vector<std::uint32_t> slot_of_position_;
    std::vector<std::size_t> first_position_of_slot_;
    std::unordered_map<std::string_view, std::uint32_t> slot_of_name_;
};

// Holds one session: the steps run with a console over `in` and `out`; a step's Abort, or memory
// running out anywhere, is reported once with report_abort, and every way out simply returns
// (RAII has closed and released whatever the steps held).
void run_session(std::istream& in, std::ostream& out, std::string_view memory_message,
                 const std::function<void(Console&)>& steps);

// A file opened for reading. Directories are refused at open, as they cannot be read.
class InputFile {
public:
    static std::optional<InputFile> open(const std::string& name);

    InputFile(InputFile&& other) noexcept;
    InputFile& operator=(InputFile&& other) noexcept;
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;
    ~InputFile();

    // Up to `size` bytes; 0 at the end of the file. A read error is treated as the end,
    // as the programs report short input through their "not found" questions.
    std::size_t read_some(char* into, std::size_t size);

private:
    friend class ReadBuffer;  // maps the file it reads
    explicit InputFile(int fd) : fd_(fd) {}
    int fd_ = -1;
};

// A window over an input file. Readers scan [data()+pos(), data()+end()) directly and call
// refill() when they run out; bytes from `keep` on survive a refill, so a token or line that
// straddles two windows can still be seen whole.
//
// A regular file is mapped, not copied: the scan reads the page cache itself. The whole file is
// mapped at once (address space is cheap) but only about a window of it is kept resident: a
// helper thread fills in the page tables a couple of windows ahead of the reader, so that work
// runs on the other core while this one scans, and pages far behind the reader are dropped.
// Pipes and other unmappable inputs are copied into a buffer.
class ReadBuffer {
public:
    enum class Access { mapped_when_possible, copied };
    static constexpr std::size_t default_size = std::size_t{4} << 20;

    explicit ReadBuffer(InputFile file, std::size_t window = default_size,
                        Access access = Access::mapped_when_possible);
    ReadBuffer(ReadBuffer&& other) noexcept;
    ReadBuffer& operator=(ReadBuffer&&) = delete;
    ReadBuffer(const ReadBuffer&) = delete;
    ReadBuffer& operator=(const ReadBuffer&) = delete;
    ~ReadBuffer();

    const char* data() const { return data_; }
    std::size_t pos() const { return pos_; }
    std::size_t end() const { return end_; }
    void set_pos(std::size_t pos) { pos_ = pos; }

    // Brings more of the file behind the unread bytes. Offsets `keep` and pos() stay valid for
    // the bytes they point at (they may move); the window grows when the kept bytes fill it.
    // False once the file has no more.
    bool refill(std::size_t& keep);
    // The same, keeping nothing before pos().
    bool refill();

private:
    struct Prefetcher;  // the helper thread and what it shares with the reader

    bool refill_copied(std::size_t& keep);
    bool refill_mapped(std::size_t keep);

    InputFile file_;
    std::size_t window_;
    char* mapping_ = nullptr;  // mapped: the whole file
    std::size_t file_size_ = 0;
    std::size_t released_ = 0;  // mapped: pages before this offset have been dropped
    std::unique_ptr<Prefetcher> prefetcher_;
    std::vector<char> buffer_;  // copied
    const char* data_ = nullptr;
    std::size_t pos_ = 0;
    std::size_t end_ = 0;
    bool exhausted_ = false;
};

// A file opened for writing (created or emptied), with its own buffer. Write errors are
// remembered rather than thrown, so the run finishes its meter and reports them once at close.
class OutputFile {
public:
    static std::optional<OutputFile> create(const std::string& name);

    OutputFile(OutputFile&& other) noexcept;
    OutputFile& operator=(OutputFile&& other) noexcept;
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;
    ~OutputFile();

    void write(std::string_view text);
    void put(char c);
    void flush();

    // Flushes and closes; false when any byte could not be written or the close failed.
    bool close();

    // True when both handles reach the same regular file, whatever names led to it.
    bool same_file_as(const OutputFile& other) const;

private:
    explicit OutputFile(int fd);
    void write_through(const char* data, std::size_t size);

    int fd_ = -1;
    bool failed_ = false;
    std::vector<char> buffer_;
    std::size_t used_ = 0;
};

}  // namespace console
