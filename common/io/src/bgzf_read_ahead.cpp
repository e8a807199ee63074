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
    for (unsigned helper = 0; helper < helpers && planned_.size() > 1; ++helper) {
        helpers_.push_back(std::make_unique<threads::Helper>(
            [this](const std::stop_token& stop) { inflate_planned(stop); }, [this] { wake(); }));
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

BgzfReadAhead::Text BgzfReadAhead::spare_text() {
    if (spare_.empty()) {
        return std::make_shared<std::vector<char>>();
    }
    Text text = std::move(spare_.back());
    spare_.pop_back();
    return text;
}

void BgzfReadAhead::let_go(Slot& slot) {
    // Only the reader's thread holds members handed out, so a count of one is this slot alone.
    if (slot.member.text && slot.member.text.use_count() == 1 && spare_.size() < window) {
        spare_.push_back(std::const_pointer_cast<std::vector<char>>(std::move(slot.member.text)));
    }
    slot.member = {};
}

void BgzfReadAhead::inflate(std::size_t nth, Text text, std::vector<char>& member) {
    std::size_t size = 0;
    std::optional<IoError> error;
    const bool whole = inflate_member(file_, planned_[nth], member, *text, size, error) == Inflated::member;
    const std::lock_guard lock(mutex_);
    slots_[nth].member =
        whole ? BgzfMemberCache::Member{planned_[nth], size, std::move(text)} : BgzfMemberCache::Member{};
    slots_[nth].done = true;
    if (reader_waiting_) {
        inflated_.notify_all();
    }
}

void BgzfReadAhead::inflate_planned(const std::stop_token& stop) {
    std::vector<char> member;
    for (;;) {
        std::size_t nth = 0;
        Text text;
        {
            std::unique_lock lock(mutex_);
            ++helpers_waiting_;
            moved_.wait(lock, [&] { return stop.stop_requested() || next_ < reader_ + window; });
            --helpers_waiting_;
            if (stop.stop_requested() || next_ >= planned_.size()) {
                return;
            }
            nth = next_++;
            text = spare_text();
        }
        inflate(nth, std::move(text), member);
    }
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
        let_go(slots_[reader_]);  // read past: its text goes once no region holds it
    }
    if (helpers_waiting_ > 0) {
        moved_.notify_all();
    }
    // Rather than wait, the reader inflates: the member it wants where no helper has begun it
    // (those skipped before it are let go unread), else the next no one has begun, so that it
    // and the helpers share the work however fast it reads.
    while (!slots_[nth].done) {
        const std::size_t limit = std::min(planned_.size(), reader_ + window);
        if (next_ <= nth || next_ < limit) {
            const std::size_t claimed = next_ <= nth ? nth : next_;
            next_ = claimed + 1;
            Text text = spare_text();
            lock.unlock();
            inflate(claimed, std::move(text), reader_member_);
            lock.lock();
            continue;
        }
        reader_waiting_ = true;
        inflated_.wait(lock, [&] { return slots_[nth].done; });
        reader_waiting_ = false;
    }
    return slots_[nth].member.text ? &slots_[nth].member : nullptr;
}

}  // namespace io
