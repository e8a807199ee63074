#include "internal.hpp"

#include "threads/helper.hpp"

#include <libdeflate.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace codecs {

namespace {

// Text per member, as bgzip fills them: the deflated data then always fits the 64 KiB a member
// may take, even where it does not shrink (stored blocks add a few bytes).
constexpr std::size_t text_per_member = 0xff00;
constexpr std::size_t largest_member = std::size_t{1} << 16;
constexpr std::size_t header_size = 18;
constexpr std::size_t trailer_size = 8;
// Members compressed side by side per round: enough that the threads' start and joining cost
// little against the work, few enough that the bytes wait little.
constexpr std::size_t members_per_thread = 16;

// The empty member every BGZF file ends with, byte for byte as htslib writes it: readers take
// a file without it for one cut short.
constexpr std::array<std::uint8_t, 28> end_of_file_member = {0x1f, 0x8b, 8,    4, 0, 0, 0, 0, 0, 0xff, 6, 0, 0x42, 0x43,
                                                             2,    0,    0x1b, 0, 3, 0, 0, 0, 0, 0,    0, 0, 0,    0};

void store_little_endian(std::uint8_t* at, std::uint32_t value, int bytes) {
    for (int index = 0; index < bytes; ++index) {
        at[index] = static_cast<std::uint8_t>(value >> (8 * index));
    }
}

// One member's compressor: libdeflate at the asked level, and level 0 (stored) for text that
// would not fit deflated.
class MemberCompressor {
public:
    explicit MemberCompressor(int level)
        : compressor_(libdeflate_alloc_compressor(level)), stored_(libdeflate_alloc_compressor(0)) {
        if (compressor_ == nullptr || stored_ == nullptr) {
            free();
            throw std::bad_alloc();
        }
    }
    ~MemberCompressor() { free(); }
    MemberCompressor(const MemberCompressor&) = delete;
    MemberCompressor& operator=(const MemberCompressor&) = delete;

    // The member holding `text` into `member` (resized to it); false when even stored it does
    // not fit, which the text's size rules out.
    bool compress(std::string_view text, std::vector<std::uint8_t>& member) const {
        member.resize(largest_member);
        std::uint8_t* const body = member.data() + header_size;
        const std::size_t room = largest_member - header_size - trailer_size;
        std::size_t deflated = libdeflate_deflate_compress(compressor_, text.data(), text.size(), body, room);
        if (deflated == 0) {
            deflated = libdeflate_deflate_compress(stored_, text.data(), text.size(), body, room);
        }
        if (deflated == 0) {
            return false;
        }
        const std::size_t size = header_size + deflated + trailer_size;
        std::memcpy(member.data(), end_of_file_member.data(), header_size);
        store_little_endian(member.data() + 16, static_cast<std::uint32_t>(size - 1), 2);
        store_little_endian(body + deflated, libdeflate_crc32(0, text.data(), text.size()), 4);
        store_little_endian(body + deflated + 4, static_cast<std::uint32_t>(text.size()), 4);
        member.resize(size);
        return true;
    }

private:
    void free() {
        libdeflate_free_compressor(compressor_);
        libdeflate_free_compressor(stored_);
    }
    libdeflate_compressor* compressor_;
    libdeflate_compressor* stored_;
};

// BGZF, as bgzip writes it: members of at most 64 KiB of text, each compressed on its own. On
// several threads, a round of members is compressed by helpers (one a thread, each taking every
// n-th member) while this thread fills the next round, and rounds are written in order: the
// bytes are the same for any number of threads.
class BgzfEncoder final : public Encoder {
public:
    BgzfEncoder(int level, unsigned threads) {
        const std::size_t workers = std::max(1U, threads);
        for (std::size_t worker = 0; worker < workers; ++worker) {
            compressors_.push_back(std::make_unique<MemberCompressor>(level));
        }
        for (Round& round : rounds_) {
            round.text.reserve(workers * members_per_thread * text_per_member);
            round.members.resize(workers * members_per_thread);
            round.failed.assign(workers, 0);
            round.helpers = std::vector<std::optional<threads::Helper>>(workers);
        }
    }

    bool compress(const char* data, std::size_t size, const Write& write) override {
        const std::size_t capacity = rounds_[filling_].members.size() * text_per_member;
        while (size > 0) {
            std::string& text = rounds_[filling_].text;
            const std::size_t taken = std::min(size, capacity - text.size());
            text.append(data, taken);
            data += taken;
            size -= taken;
            if (text.size() == capacity && !hand_over(write)) {
                return false;
            }
        }
        return true;
    }

    bool finish(const Write& write) override {
        if (!rounds_[filling_].text.empty() && !hand_over(write)) {
            return false;
        }
        if (!settle(rounds_[1 - filling_], write)) {
            return false;
        }
        write(reinterpret_cast<const char*>(end_of_file_member.data()), end_of_file_member.size());
        return true;
    }

    std::string failure() const override { return failure_; }

private:
    struct Round {
        std::string text;
        std::vector<std::vector<std::uint8_t>> members;
        std::size_t count = 0;     // members the text makes
        std::vector<char> failed;  // per worker
        bool in_flight = false;    // handed to the workers, not yet written
        std::vector<std::optional<threads::Helper>> helpers;
    };

    // Worker `worker` of `workers` compresses members worker, worker + workers, ... of `round`.
    void compress_share(Round& round, std::size_t worker, std::size_t workers) {
        for (std::size_t member = worker; member < round.count; member += workers) {
            const std::string_view text =
                std::string_view(round.text).substr(member * text_per_member, text_per_member);
            if (!compressors_[worker]->compress(text, round.members[member])) {
                round.failed[worker] = 1;
            }
        }
    }

    // The filled round to the workers (on one thread, compressed here), after the round before
    // it has been written; then the other round is filled.
    bool hand_over(const Write& write) {
        Round& round = rounds_[filling_];
        round.count = (round.text.size() + text_per_member - 1) / text_per_member;
        const std::size_t workers = compressors_.size();
        if (workers == 1) {
            compress_share(round, 0, 1);
            round.in_flight = true;
            return settle(round, write);
        }
        if (!settle(rounds_[1 - filling_], write)) {
            return false;
        }
        for (std::size_t worker = 0; worker < workers; ++worker) {
            round.helpers[worker].emplace(
                [this, &round, worker, workers](const std::stop_token&) { compress_share(round, worker, workers); });
            if (!round.helpers[worker]->running()) {
                compress_share(round, worker, workers);  // no thread to be had: done here
            }
        }
        round.in_flight = true;
        filling_ = 1 - filling_;
        return true;
    }

    // Waits for the round's workers and writes its members in order.
    bool settle(Round& round, const Write& write) {
        if (!round.in_flight) {
            return true;
        }
        for (std::optional<threads::Helper>& helper : round.helpers) {
            helper.reset();  // joined
        }
        round.in_flight = false;
        round.text.clear();
        if (std::find(round.failed.begin(), round.failed.end(), 1) != round.failed.end()) {
            failure_ = "BGZF: a member did not fit in 64 KiB";
            return false;
        }
        for (std::size_t member = 0; member < round.count; ++member) {
            write(reinterpret_cast<const char*>(round.members[member].data()), round.members[member].size());
        }
        return true;
    }

    std::vector<std::unique_ptr<MemberCompressor>> compressors_;  // one a worker: they are not shared
    std::string failure_;
    std::size_t filling_ = 0;
    std::array<Round, 2> rounds_;  // last: their helpers are joined before the rest goes
};

}  // namespace

std::unique_ptr<Encoder> bgzf_encoder(int level, unsigned threads) {
    return std::make_unique<BgzfEncoder>(level, threads);
}

}  // namespace codecs
