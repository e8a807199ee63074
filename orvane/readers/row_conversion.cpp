#include "orvane/readers/row_conversion.hpp"

#include "orvane/parse/number_parsing.hpp"
#include "orvane/readers/reading_errors.hpp"

#include <array>
#include <atomic>
#include <optional>
#include <string>
#include <vector>

namespace orvane {

namespace {

// Rows this short are converted faster than handed over; and below this many listed values in
// all (a bootstrap file's small data sets, one after another) starting the helper and handing
// rows over costs more than the conversion it takes off this core.
constexpr std::int32_t minimum_order = 64;
constexpr std::int64_t minimum_values = std::int64_t{1} << 20;
// The helper may fall this far behind before the scan waits for it, so the bytes it still needs
// stay in the part of the mapping kept resident.
constexpr std::size_t most_bytes_ahead = std::size_t{4} << 20;

struct Job {
    std::int32_t row;
    std::uint32_t slot;
    std::size_t name_start;  // where the serial reading would take the row up again
    std::size_t begin;       // the row's distances
    std::size_t end;
    bool converted = false;  // by the scan itself, the helper being busy
};

// `count` numbers from [begin, end) of the mapping, as read_numbers takes them, each ending at a
// blank or the end of the file: anything else (no number, junk glued on) is left to the serial
// reading, which gives it its exact meaning.
template <typename Distance>
bool convert(const char* data, std::size_t file_end, const Job& job, std::size_t count, Distance* into,
             TextRow* texts) {
    if (texts != nullptr) {
        texts->clear();
        texts->reserve(count, job.end - job.begin);  // the values and the blanks between them
    }
    std::size_t at = job.begin;
    for (std::size_t index = 0; index < count; ++index) {
        while (at < job.end && is_blank(data[at])) {
            ++at;
        }
        if (at >= job.end) {
            return false;
        }
        const char* const stop = parse_number(data + at, data + file_end, into[index]);
        if (stop == nullptr || (stop != data + file_end && !is_blank(*stop))) {
            return false;
        }
        if (texts != nullptr) {
            texts->add({data + at, static_cast<std::size_t>(stop - (data + at))});
        }
        at = static_cast<std::size_t>(stop - data);
    }
    return true;
}

// The helper, fed through a ring of jobs: it converts them in order and tells, for each,
// whether it read as plain numbers.
template <typename Distance>
class Converter {
public:
    static constexpr std::size_t ring = 4096;
    static constexpr std::size_t stop = SIZE_MAX;  // `added_`'s value once nothing more will come

    Converter(const io::ReadBuffer& input, std::size_t order, DistanceRows<Distance>& rows, ValueTexts* texts,
              threads::Cores cores)
        : forced_(cores == threads::Cores::two),
          data_(input.data()),
          file_end_(input.mapped_size()),
          order_(order),
          rows_(rows),
          texts_(texts),
          helper_([this](const std::stop_token&) { work(); },
                  [this] {
                      added_.store(stop);
                      added_.notify_all();
                  }) {}
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    bool running() const { return helper_.running(); }
    bool full(std::size_t confirmed) const { return count_ - confirmed >= ring; }
    // Whether the scan converts the next listed row itself: where the helper has a row waiting
    // besides the one it converts, so that both cores convert where the helper alone would lag.
    // Forced to two cores (the differential tests), every other row, whatever the timing.
    bool for_the_scan() const {
        return forced_ ? count_ % 2 == 1 : count_ - finished_.load(std::memory_order_relaxed) >= 2;
    }
    // The row converted here, on the scan's side: the helper only passes it.
    void convert_here(Job& job) {
        job.converted = true;
        whole_[count_ % ring] = convert(data_, file_end_, job, order_, rows_.row(job.slot),
                                        texts_ != nullptr ? &texts_->row(job.slot) : nullptr);
    }
    void add(const Job& job) {
        jobs_[count_ % ring] = job;
        added_.store(++count_, std::memory_order_release);
        added_.notify_one();
    }
    std::size_t added() const { return count_; }
    const Job& job(std::size_t index) const { return jobs_[index % ring]; }
    bool read_whole(std::size_t index) const { return whole_[index % ring]; }
    std::size_t finished() const { return finished_.load(std::memory_order_acquire); }
    void wait_beyond(std::size_t finished) const { finished_.wait(finished, std::memory_order_acquire); }
    // Done with the rows: nobody else may write them while the helper still might.
    void stop_helper() { helper_.stop(); }

private:
    void work() {
        for (std::size_t index = 0;; ++index) {
            std::size_t added = added_.load(std::memory_order_acquire);
            while (added != stop && index >= added) {
                added_.wait(added, std::memory_order_acquire);
                added = added_.load(std::memory_order_acquire);
            }
            if (added == stop) {
                return;
            }
            const Job& job = jobs_[index % ring];
            if (!job.converted) {
                whole_[index % ring] = convert(data_, file_end_, job, order_, rows_.row(job.slot),
                                               texts_ != nullptr ? &texts_->row(job.slot) : nullptr);
            }
            finished_.store(index + 1, std::memory_order_release);
            finished_.notify_one();
        }
    }

    bool forced_;
    const char* data_;
    std::size_t file_end_;
    std::size_t order_;
    DistanceRows<Distance>& rows_;
    ValueTexts* texts_;  // each slot's row written by this thread alone while it converts it
    std::array<Job, ring> jobs_{};
    std::array<bool, ring> whole_{};
    std::size_t count_ = 0;  // the scan's own
    std::atomic<std::size_t> added_{0};
    std::atomic<std::size_t> finished_{0};
    threads::Helper helper_;  // last: started once the rest is in place
};

// The scan's side: it finds each row's end, hands listed rows over, confirms the converted ones
// in order and draws the meter's steps for the rows before the first one still unconfirmed.
template <typename Distance>
class AlongsideScan {
public:
    AlongsideScan(TokenReader& matrix, IdTable& ids, std::int32_t order, DistanceRows<Distance>& rows,
                  ValueTexts* texts, const io::Progress& progress, threads::Cores cores)
        : matrix_(matrix),
          ids_(ids),
          order_(order),
          progress_(progress),
          converter_(matrix.input(), static_cast<std::size_t>(order), rows, texts, cores),
          taken_(ids.ids().slot_count(), false) {}

    bool running() const { return converter_.running(); }

    // The row the one-core reading takes up (the order when every row was read).
    std::int32_t scan() {
        for (std::int32_t row = 0; row < order_ && !stopped_at_; ++row) {
            scan_row(row);
        }
        settle(true);
        converter_.stop_helper();
        if (stopped_at_) {
            matrix_.return_to(stopped_at_->name_start);
            return stopped_at_->row;
        }
        return order_;
    }

private:
    void scan_row(std::int32_t row) {
        const std::size_t name_start = matrix_.cursor();
        const bool listable = matrix_.take_name(ids_.longest_name(), name_);
        const std::int64_t slot = listable && !matrix_.failed() ? ids_.slot_of_row(name_) : -1;
        // A failure, or a name heading a second row, is left to the one-core reading.
        if (matrix_.failed() || (slot >= 0 && taken_[static_cast<std::size_t>(slot)])) {
            stopped_at_ = Job{row, 0, name_start, 0, 0};
            return;
        }
        const std::size_t begin = matrix_.cursor();
        if (!matrix_.skip_tokens(static_cast<std::uint64_t>(order_))) {
            stopped_at_ = Job{row, 0, name_start, 0, 0};
            return;
        }
        if (slot >= 0 && !hand_over(Job{row, static_cast<std::uint32_t>(slot), name_start, begin, matrix_.cursor()})) {
            return;
        }
        scanned_ = row + 1;
        settle(false);
    }

    // Waits while the ring is full or the helper lags too far behind; false once a row before
    // this one stopped the conversion.
    bool hand_over(Job job) {
        while (converter_.full(confirmed_) ||
               (unsettled() && matrix_.cursor() - converter_.job(confirmed_).begin > most_bytes_ahead)) {
            settle(true);
            if (stopped_at_) {
                return false;
            }
        }
        taken_[job.slot] = true;
        if (converter_.for_the_scan()) {
            converter_.convert_here(job);
        }
        converter_.add(job);
        return true;
    }

    // Jobs handed over and not yet confirmed, before the row that stopped the conversion.
    bool unsettled() const {
        return confirmed_ < converter_.added() && !(stopped_at_ && stopped_at_->row <= converter_.job(confirmed_).row);
    }

    // Confirms the finished jobs in order, and draws the steps of the rows before the first job
    // not yet confirmed. With `wait`, until every job is settled.
    void settle(bool wait) {
        for (;;) {
            const std::size_t finished = converter_.finished();
            while (confirmed_ < finished && unsettled()) {
                const Job& job = converter_.job(confirmed_);
                if (!converter_.read_whole(confirmed_)) {
                    stopped_at_ = job;
                    break;
                }
                ids_.set_matrix_row(job.slot, job.row);
                ++confirmed_;
            }
            const bool pending = unsettled();
            const std::int32_t limit = std::min(stopped_at_ ? stopped_at_->row : scanned_,
                                                pending ? converter_.job(confirmed_).row : scanned_);
            for (; drawn_ < limit; ++drawn_) {
                progress_.step(io::percentage(std::int64_t{drawn_} + 1, order_));
            }
            if (!wait || !pending) {
                return;
            }
            converter_.wait_beyond(finished);
        }
    }

    TokenReader& matrix_;
    IdTable& ids_;
    std::int32_t order_;
    const io::Progress& progress_;
    Converter<Distance> converter_;
    std::vector<bool> taken_;        // slots with a row in this pass
    std::size_t confirmed_ = 0;      // jobs done and read whole, their rows set, in order
    std::int32_t drawn_ = 0;         // meter steps drawn for the rows below this
    std::int32_t scanned_ = 0;       // rows the scan has passed
    std::optional<Job> stopped_at_;  // the first row left to the one-core reading
    std::string name_;
};

}  // namespace

bool converts_alongside(const IdTable& ids, std::int32_t order, threads::Cores cores) {
    // Forced to two cores (the differential tests), the helper takes any matrix of long rows.
    const bool worth_a_helper =
        cores == threads::Cores::two || static_cast<std::int64_t>(ids.size()) * order >= minimum_values;
    return order >= minimum_order && ids.size() > 0 && worth_a_helper && !ids.excludes() && threads::second_core(cores);
}

template <typename Distance>
std::int32_t convert_rows_alongside(TokenReader& matrix, IdTable& ids, std::int32_t order, DistanceRows<Distance>& rows,
                                    ValueTexts* texts, const io::Progress& progress, threads::Cores cores) {
    // Mapped, the whole file stays where it is: the helper reads rows the scan has passed.
    if (!converts_alongside(ids, order, cores) || !matrix.input().mapped()) {
        return 0;
    }
    AlongsideScan<Distance> scan(matrix, ids, order, rows, texts, progress, cores);
    return scan.running() ? scan.scan() : 0;
}

template std::int32_t convert_rows_alongside(TokenReader&, IdTable&, std::int32_t, DistanceRows<float>&, ValueTexts*,
                                             const io::Progress&, threads::Cores);
template std::int32_t convert_rows_alongside(TokenReader&, IdTable&, std::int32_t, DistanceRows<double>&, ValueTexts*,
                                             const io::Progress&, threads::Cores);

}  // namespace orvane
