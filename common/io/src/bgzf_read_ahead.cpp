#include "bgzf_read_ahead.hpp"

#include <algorithm>

namespace io {

std::vector<std::uint64_t> planned_members(const std::vector<BgzfMember>& members,
                                           const std::vector<TextRange>& ranges) {
    std::vector<std::uint64_t> planned;
    const auto holding = [&](std::uint64_t text) {
        const auto after =
            std::upper_bound(members.begin(), members.end(), text,
                             [](std::uint64_t at, const BgzfMember& member) { return at < member.text; });
        return after == members.begin() ? members.end() : after - 1;
    };
    for (const TextRange& range : ranges) {
        if (range.begin >= range.end) {
            continue;
        }
        auto member = holding(range.begin);
        for (; member != members.end() && member->text < range.end; ++member) {
            if (planned.empty() || planned.back() != member->stored) {
                planned.push_back(member->stored);
            }
        }
    }
    return planned;
}

BgzfReadAhead::BgzfReadAhead(const InputFile& file, std::vector<std::uint64_t> planned, unsigned helpers)
    : file_(file), planned_(std::move(planned)), slots_(planned_.size()) {
    for (unsigned helper = 0; helper < helpers && !planned_.empty(); ++helper) {
        helpers_.push_back(std::make_unique<threads::Helper>(
            [this](const std::stop_token& stop) { inflate_planned(stop); }, [this] { wake(); }));
        if (helpers_.back()->running()) {
            const std::lock_guard lock(mutex_);
            ++working_;
        }
    }
}

BgzfReadAhead::~BgzfReadAhead() {
    for (const std::unique_ptr<threads::Helper>& helper : helpers_) {
        helper->stop();
    }
}

void BgzfReadAhead::wake() {
    const std::lock_guard lock(mutex_);
    moved_.notify_all();
}

void BgzfReadAhead::inflate_planned(const std::stop_token& stop) {
    std::vector<char> member;
    for (;;) {
        std::size_t nth = 0;
        {
            std::unique_lock lock(mutex_);
            moved_.wait(lock, [&] { return stop.stop_requested() || next_ < reader_ + window; });
            if (stop.stop_requested() || next_ >= planned_.size()) {
                break;
            }
            nth = next_++;
        }
        auto text = std::make_shared<std::vector<char>>();
        std::size_t size = 0;
        std::optional<IoError> error;
        const bool whole = inflate_member(file_, planned_[nth], member, *text, size, error) == Inflated::member;
        const std::lock_guard lock(mutex_);
        slots_[nth].member =
            whole ? BgzfMemberCache::Member{planned_[nth], size, std::move(text)} : BgzfMemberCache::Member{};
        slots_[nth].done = true;
        inflated_.notify_all();
    }
    const std::lock_guard lock(mutex_);
    --working_;
    inflated_.notify_all();
}

const BgzfMemberCache::Member* BgzfReadAhead::take(std::uint64_t stored) {
    std::unique_lock lock(mutex_);
    const std::size_t last = std::min(planned_.size(), reader_ + window);
    std::size_t nth = reader_;
    while (nth < last && planned_[nth] != stored) {
        ++nth;
    }
    if (nth == last) {
        return nullptr;
    }
    for (; reader_ < nth; ++reader_) {
        slots_[reader_].member = {};  // read past: its text goes once no region holds it
    }
    moved_.notify_all();
    // A member no helper will reach (every helper gone) is inflated by the reader itself.
    inflated_.wait(lock, [&] { return slots_[nth].done || (working_ == 0 && next_ <= nth); });
    return slots_[nth].done && slots_[nth].member.text ? &slots_[nth].member : nullptr;
}

}  // namespace io
