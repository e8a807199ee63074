// BGZF members inflated ahead of the reading, on helper threads: a run that knows which stretches
// of text it will read, and in which order (regions, records through an index), has every member
// they touch inflated once, while it copies out of the ones before.
#pragma once

#include "io/random_access.hpp"
#include "threads/helper.hpp"

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

namespace io {

enum class Inflated { member, end, failed };
// The member stored at `stored` into `text` (`member` its compressed bytes, `size` their
// number): `end` past the file's last member, `failed` with `error` on a read failure or damage.
Inflated inflate_member(const InputFile& file, std::uint64_t stored, std::vector<char>& member, std::vector<char>& text,
                        std::size_t& size, std::optional<IoError>& error);

// Where the members holding `ranges` (in reading order) are stored, each once in a row.
std::vector<std::uint64_t> planned_members(const std::vector<BgzfMember>& members,
                                           const std::vector<TextRange>& ranges);

class BgzfReadAhead {
public:
    // `file` must outlive this. The reader inflates too (whatever no helper has begun when it
    // gets there), so `helpers` and the reader together should be the cores to use.
    BgzfReadAhead(const InputFile& file, std::vector<std::uint64_t> planned, unsigned helpers);
    ~BgzfReadAhead();
    BgzfReadAhead(const BgzfReadAhead&) = delete;
    BgzfReadAhead& operator=(const BgzfReadAhead&) = delete;

    // The planned member stored at `stored`, inflated; members planned before it are let go.
    // Null where it is not among the next planned ones (read out of the plan's order) or could
    // not be inflated: the reader then inflates it itself, and meets the fault.
    const BgzfMemberCache::Member* take(std::uint64_t stored);

private:
    // At most this many members wait inflated ahead of the reader: 4 MB of text.
    static constexpr std::size_t window = 64;
    struct Slot {
        BgzfMemberCache::Member member;
        bool done = false;
    };
    using Text = std::shared_ptr<std::vector<char>>;
    void inflate_planned(const std::stop_token& stop);
    // Inflates planned member `nth` (claimed, outside the lock) into `text` and stores it.
    void inflate(std::size_t nth, Text text, std::vector<char>& member);
    // The text of a member let go, where nothing else holds it, kept to be filled again: a
    // fresh 64 KiB buffer would be cleared first.
    void let_go(Slot& slot);
    Text spare_text();
    void wake();

    const InputFile& file_;
    std::vector<std::uint64_t> planned_;
    std::vector<Slot> slots_;
    std::mutex mutex_;
    std::condition_variable inflated_;  // a slot is done
    std::condition_variable moved_;     // the reader moved on, or the helpers are to stop
    std::size_t next_ = 0;              // the next planned member no one has begun
    std::size_t reader_ = 0;            // the planned member the reader is at
    // Who waits, so that a thread that changes nothing another waits for makes no call to wake it.
    bool reader_waiting_ = false;
    std::size_t helpers_waiting_ = 0;
    std::vector<Text> spare_;
    std::vector<char> reader_member_;                        // the reader's compressed bytes
    std::vector<std::unique_ptr<threads::Helper>> helpers_;  // last: stopped before the rest goes
};

}  // namespace io
