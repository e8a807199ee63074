// Paired inputs read in file order (--exclude, --order file) stay in step only if their records
// are mates one for one: each input's readers hand over every record's first word as they read
// it, and the words are compared across the inputs a stretch at a time. Mates are named alike
// but for a trailing /1 or /2 (Illumina's older style) or, where the inputs' first records
// differ just so, a final .1/.2 or _1/_2 (as some archives name them).
#pragma once

#include "io/io_error.hpp"

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace talmiro {

// A record's first word with a trailing "/1" or "/2" taken off.
std::string_view without_mate_number(std::string_view word);

class MateCheck {
public:
    // For `names` inputs (as messages name them).
    explicit MateCheck(std::vector<std::string> names);
    // Every input is read on a thread of its own, so one that runs far ahead may wait for the
    // others; until this is said, nothing waits (the inputs may be read one after another).
    void read_in_parallel();

    // The next record's first word in input `nth`; false once the inputs are found out of step
    // (the reading should stop).
    bool add(std::size_t nth, std::string_view word);
    // Input `nth` has no more records.
    void finish(std::size_t nth);
    // Once every input has finished: why the inputs are not in step, if they are not.
    std::optional<std::string> fault() const;

private:
    struct Stretch {
        std::string words;                // one after another
        std::vector<std::uint32_t> ends;  // where each ends in `words`
    };
    struct Input {
        std::vector<Stretch> ready;  // handed over, not yet compared
        Stretch filling;
        std::uint64_t compared = 0;  // records compared so far
        bool finished = false;
    };
    static constexpr std::size_t stretch_records = 4096;

    void hand_over(std::size_t nth, std::unique_lock<std::mutex>& lock);
    void compare_ready();
    bool compare_words(std::string_view first, std::string_view other, std::size_t nth, std::uint64_t record);
    std::string_view mate_name(std::string_view word) const;

    std::vector<std::string> names_;
    bool in_parallel_ = false;
    mutable std::mutex mutex_;
    std::condition_variable moved_;
    std::vector<Input> inputs_;
    std::optional<char> archive_style_;  // '.' or '_' where mates end in .1/.2 or _1/_2
    bool style_known_ = false;
    std::optional<std::string> fault_;
};

}  // namespace talmiro
