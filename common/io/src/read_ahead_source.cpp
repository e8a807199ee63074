#include "read_ahead.hpp"

#include "threads/helper.hpp"

#include <condition_variable>
#include <cstring>
#include <deque>
#include <mutex>
#include <new>
#include <optional>
#include <vector>

namespace io {

namespace {

// Decoded blocks travel from the helper to the reader through a short queue: memory stays at a
// few blocks however far the data inflates.
class ReadAheadSource final : public ByteSource {
public:
    static constexpr std::size_t block_size = std::size_t{1} << 20;
    static constexpr std::size_t queued_blocks = 4;

    // Where no thread can be had (a process limit), the reader decodes on its own.
    explicit ReadAheadSource(std::unique_ptr<ByteSource> inner)
        : inner_(std::move(inner)), helper_([this](const std::stop_token&) { produce(); }, [this] { stop(); }) {}

    ~ReadAheadSource() override { helper_.stop(); }
    ReadAheadSource(const ReadAheadSource&) = delete;
    ReadAheadSource& operator=(const ReadAheadSource&) = delete;

    std::size_t read(char* into, std::size_t size) override {
        if (!helper_.running()) {
            return inner_->read(into, size);
        }
        if (taken_ == current_.size()) {
            std::unique_lock lock(mutex_);
            if (!current_.empty() || current_.capacity() > 0) {
                spare_.push_back(std::move(current_));
                changed_.notify_all();
            }
            changed_.wait(lock, [&] { return !ready_.empty() || finished_; });
            if (ready_.empty()) {
                if (out_of_memory_) {
                    throw std::bad_alloc();
                }
                current_.clear();
                taken_ = 0;
                return 0;
            }
            current_ = std::move(ready_.front());
            ready_.pop_front();
            taken_ = 0;
            changed_.notify_all();
        }
        const std::size_t copied = std::min(size, current_.size() - taken_);
        std::memcpy(into, current_.data() + taken_, copied);
        taken_ += copied;
        return copied;
    }

    // Asked once read() has given 0: the helper has finished, and the lock orders its writes.
    const std::optional<IoError>& error() const override {
        const std::lock_guard lock(mutex_);
        return inner_->error();
    }
    // The file itself where the bytes read ahead are its own (never changed by the helper).
    const InputFile* plain_file() const override { return inner_->plain_file(); }
    const std::string& name() const override { return inner_->name(); }

private:
    void stop() {
        {
            const std::lock_guard lock(mutex_);
            stopping_ = true;
        }
        changed_.notify_all();
    }

    void produce() {
        try {
            for (;;) {
                std::vector<char> block;
                {
                    std::unique_lock lock(mutex_);
                    changed_.wait(lock, [&] { return stopping_ || ready_.size() < queued_blocks; });
                    if (stopping_) {
                        return;
                    }
                    if (!spare_.empty()) {
                        block = std::move(spare_.back());
                        spare_.pop_back();
                    }
                }
                block.resize(block_size);
                std::size_t filled = 0;
                while (filled < block.size()) {
                    const std::size_t got = inner_->read(block.data() + filled, block.size() - filled);
                    if (got == 0) {
                        break;
                    }
                    filled += got;
                }
                block.resize(filled);
                const std::lock_guard lock(mutex_);
                if (filled > 0) {
                    ready_.push_back(std::move(block));
                }
                if (filled < block_size) {
                    finished_ = true;
                    changed_.notify_all();
                    return;
                }
                changed_.notify_all();
            }
        } catch (const std::bad_alloc&) {
            const std::lock_guard lock(mutex_);
            out_of_memory_ = true;
            finished_ = true;
            changed_.notify_all();
        }
    }

    std::unique_ptr<ByteSource> inner_;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<std::vector<char>> ready_;
    std::vector<std::vector<char>> spare_;
    bool finished_ = false;
    bool stopping_ = false;
    bool out_of_memory_ = false;
    std::vector<char> current_;  // the reader's own
    std::size_t taken_ = 0;
    threads::Helper helper_;  // last: started once the rest is in place
};

}  // namespace

std::unique_ptr<ByteSource> read_ahead(std::unique_ptr<ByteSource> inner) {
    return std::make_unique<ReadAheadSource>(std::move(inner));
}

}  // namespace io
