#include "internal.hpp"

#include "threads/helper.hpp"

#include <isa-l/igzip_lib.h>

#include <array>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <mutex>
#include <optional>
#include <vector>

namespace codecs {

namespace {

// A BGZF member: an 18-byte gzip header that flags only its extra field, whose subfield "BC"
// gives the member's size; the deflated data; the CRC and the length. The format says a member
// inflates to at most 64 KiB.
constexpr std::size_t header_size = 18;
constexpr std::size_t largest_inflated = std::size_t{1} << 16;
constexpr std::size_t members_per_batch = 64;
constexpr std::size_t batches_ahead = 4;

std::size_t member_size(const std::uint8_t* at, std::size_t available) {
    return bgzf_member_size({reinterpret_cast<const char*>(at), available});
}

// A run of members, inflated together by one helper.
struct Batch {
    std::vector<std::uint8_t> compressed;
    std::vector<char> inflated;
    bool failed = false;
    bool done = false;
};

// Inflates the members of a BGZF file (bgzip's blocked gzip) on two helper threads at once:
// members are independent, so a batch of them goes to whichever helper is free, and the reader
// takes the batches back in order.
class BgzfDecoder final : public BlockDecoder {
public:
    BgzfDecoder(Fill fill, unsigned threads)
        : BlockDecoder(std::move(fill), {}), helpers_(threads > 1 ? threads - 1 : 0) {
        // Where fewer helpers can be had, the reader inflates what no helper takes.
        for (std::optional<threads::Helper>& helper : helpers_) {
            helper.emplace([this](const std::stop_token&) { inflate_batches(); }, [this] { stop_helpers(); });
        }
    }
    ~BgzfDecoder() override {
        for (std::optional<threads::Helper>& helper : helpers_) {
            helper.reset();
        }
    }
    BgzfDecoder(const BgzfDecoder&) = delete;
    BgzfDecoder& operator=(const BgzfDecoder&) = delete;

    std::size_t read(char* into, std::size_t size) override {
        while (taken_ == current_.size()) {
            if (done() || !next_batch()) {
                return 0;
            }
        }
        const std::size_t count = std::min(size, current_.size() - taken_);
        std::memcpy(into, current_.data() + taken_, count);
        taken_ += count;
        return count;
    }

private:
    // Reads the next members, queues them, and hands the oldest batch to the reader once it is
    // inflated; false at the end.
    bool next_batch() {
        while (queued() < batches_ahead && !file_done_) {
            queue_batch();
        }
        std::unique_ptr<Batch> batch;
        {
            std::unique_lock lock(mutex_);
            if (order_.empty()) {
                if (last_member_empty_) {
                    end();
                } else {
                    fail();  // every member is given first, so the dialogue reads all there is
                }
                return false;
            }
            batch = std::move(order_.front());
            order_.pop_front();
            if (!batch->done && (helpers_.empty() || !helpers_[0]->running())) {
                // No helper to be had: inflate it here.
                lock.unlock();
                inflate(*batch);
                lock.lock();
                batch->done = true;
            }
            changed_.wait(lock, [&] { return batch->done; });
        }
        if (batch->failed) {
            fail();
            return false;
        }
        current_ = std::move(batch->inflated);
        taken_ = 0;
        return true;
    }

    std::size_t queued() {
        const std::lock_guard lock(mutex_);
        return order_.size();
    }

    void queue_batch() {
        auto batch = std::make_unique<Batch>();
        std::size_t members = 0;
        while (members < members_per_batch) {
            // Enough bytes for the next member's header, then for the whole member.
            if (!fill(header_size)) {
                file_done_ = true;
                if (pending_.size() > start_) {
                    batch->failed = true;  // a cut header
                }
                break;
            }
            const std::size_t size = member_size(pending_.data() + start_, pending_.size() - start_);
            if (size == 0 || !fill(size)) {
                batch->failed = true;
                file_done_ = true;
                break;
            }
            // The last member must be the empty one bgzip ends every file with: without it the
            // file was cut after a whole member, and nothing else could tell.
            last_member_empty_ = little_endian(pending_.data() + start_ + size - 4, 4) == 0;
            const auto first = pending_.begin() + static_cast<std::ptrdiff_t>(start_);
            batch->compressed.insert(batch->compressed.end(), first, first + static_cast<std::ptrdiff_t>(size));
            start_ += size;
            ++members;
        }
        if (members == 0 && !batch->failed) {
            return;
        }
        if (members == 0) {
            batch->done = true;  // nothing to inflate: it only fails
        }
        Batch* const raw = batch.get();
        const std::lock_guard lock(mutex_);
        order_.push_back(std::move(batch));
        if (!raw->done) {
            work_.push_back(raw);
        }
        changed_.notify_all();
    }

    // At least `wanted` unread bytes of the file in pending_ from start_; false when it has fewer.
    bool fill(std::size_t wanted) {
        while (pending_.size() - start_ < wanted) {
            pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(start_));
            start_ = 0;
            const std::size_t got = fill_input(std::size_t{1} << 20);
            if (got == 0) {
                return false;
            }
            pending_.insert(pending_.end(), input().begin(), input().end());
        }
        return true;
    }

    static void inflate(Batch& batch) {
        batch.inflated.resize(members_per_batch * largest_inflated);
        std::size_t out = 0;
        for (std::size_t at = 0; at < batch.compressed.size() && !batch.failed;) {
            std::uint8_t* const member = batch.compressed.data() + at;
            const std::size_t size = member_size(member, batch.compressed.size() - at);
            const std::size_t inflated = little_endian(member + size - 4, 4);
            if (inflated > largest_inflated) {
                batch.failed = true;
                break;
            }
            inflate_state state{};
            isal_inflate_init(&state);
            state.crc_flag = ISAL_GZIP_NO_HDR_VER;  // the CRC and length are checked
            state.next_in = member + header_size;
            state.avail_in = static_cast<std::uint32_t>(size - header_size);
            state.next_out = reinterpret_cast<std::uint8_t*>(batch.inflated.data() + out);
            state.avail_out = static_cast<std::uint32_t>(inflated);
            const int status = isal_inflate_stateless(&state);
            if (status != ISAL_DECOMP_OK || state.total_out != inflated) {
                batch.failed = true;
            }
            out += inflated;
            at += size;
        }
        batch.inflated.resize(out);
    }

    void stop_helpers() {
        {
            const std::lock_guard lock(mutex_);
            stopping_ = true;
        }
        changed_.notify_all();
    }

    void inflate_batches() {
        for (;;) {
            Batch* batch = nullptr;
            {
                std::unique_lock lock(mutex_);
                changed_.wait(lock, [&] { return stopping_ || !work_.empty(); });
                if (stopping_) {
                    return;
                }
                batch = work_.front();
                work_.pop_front();
            }
            inflate(*batch);
            const std::lock_guard lock(mutex_);
            batch->done = true;
            changed_.notify_all();
        }
    }

    std::vector<std::uint8_t> pending_;  // read from the file; from start_ on not yet queued
    std::size_t start_ = 0;
    bool file_done_ = false;
    bool last_member_empty_ = false;
    std::vector<char> current_;
    std::size_t taken_ = 0;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<std::unique_ptr<Batch>> order_;  // queued batches, in file order
    std::deque<Batch*> work_;                   // queued batches no helper has taken yet
    bool stopping_ = false;
    std::vector<std::optional<threads::Helper>> helpers_;  // last: started once the rest is in place
};

}  // namespace

std::unique_ptr<Decoder> bgzf_decoder(Fill fill, unsigned threads) {
    return std::make_unique<BgzfDecoder>(std::move(fill), threads);
}

std::uint32_t bgzf_member_text_size(std::string_view member) {
    return little_endian(reinterpret_cast<const std::uint8_t*>(member.data() + member.size() - 4), 4);
}

bool inflate_bgzf_member(std::string_view member, std::vector<char>& into) {
    const std::size_t inflated = bgzf_member_text_size(member);
    if (inflated > largest_inflated) {
        return false;
    }
    into.resize(inflated);
    // isal_inflate_init() sets what a stateless inflate reads: zeroing all 87 KB of the state
    // for each 64 KiB member would cost a tenth of the inflating.
    inflate_state state;  // NOLINT(cppcoreguidelines-pro-type-member-init)
    isal_inflate_init(&state);
    state.crc_flag = ISAL_GZIP_NO_HDR_VER;
    // ISA-L reads and writes through non-const pointers but changes no input byte.
    state.next_in = const_cast<std::uint8_t*>(reinterpret_cast<const std::uint8_t*>(member.data() + header_size));
    state.avail_in = static_cast<std::uint32_t>(member.size() - header_size);
    state.next_out = reinterpret_cast<std::uint8_t*>(into.data());
    state.avail_out = static_cast<std::uint32_t>(inflated);
    return isal_inflate_stateless(&state) == ISAL_DECOMP_OK && state.total_out == inflated;
}

}  // namespace codecs
