#include "row_conversion.hpp"

#include "number_parsing.hpp"

#include <array>
#include <atomic>
#include <optional>
#include <sched.h>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

namespace orvane {

namespace {

// Rows this short are converted faster than handed over.
constexpr std::int32_t minimum_order = 64;
// The helper may fall this far behind before the scan waits for it, so the bytes it still needs
// stay in the part of the mapping kept resident.
constexpr std::size_t most_bytes_ahead = std::size_t{4} << 20;

struct Job {
    std::int32_t row;
    std::uint32_t slot;
    std::size_t name_start;  // where the serial reading would take the row up again
    std::size_t begin;       // the row's distances
    std::size_t end;
};

// `count` numbers from [begin, end) of the mapping, as read_numbers takes them, each ending at a
// blank or the end of the file: anything else (no number, junk glued on) is left to the serial
// reading, which gives it its exact meaning.
template <typename Distance>
bool convert(const char* data, std::size_t file_end, const Job& job, std::size_t count, Distance* into) {
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
        at = static_cast<std::size_t>(stop - data);
    }
    return true;
}

bool two_cores() {
    cpu_set_t allowed;
    return ::sched_getaffinity(0, sizeof allowed, &allowed) == 0 && CPU_COUNT(&allowed) >= 2;
}

// The helper, fed through a ring of jobs: it converts them in order and tells, for each,
// whether it read as plain numbers.
template <typename Distance>
class Converter {
public:
    static constexpr std::size_t ring = 4096;
    static constexpr std::size_t stop = SIZE_MAX;  // `added_`'s value once nothing more will come

    Converter(const io::ReadBuffer& input, std::size_t order, DistanceRows<Distance>& rows)
        : data_(input.data()), file_end_(input.mapped_size()), order_(order), rows_(rows) {
        thread_ = std::thread([this] { work(); });
    }
    ~Converter() {
        added_.store(stop);
        added_.notify_all();
        thread_.join();
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    bool full(std::size_t confirmed) const { return count_ - confirmed >= ring; }
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
            whole_[index % ring] = convert(data_, file_end_, job, order_, rows_.row(job.slot));
            finished_.store(index + 1, std::memory_order_release);
            finished_.notify_one();
        }
    }

    const char* data_;
    std::size_t file_end_;
    std::size_t order_;
    DistanceRows<Distance>& rows_;
    std::array<Job, ring> jobs_{};
    std::array<bool, ring> whole_{};
    std::size_t count_ = 0;  // the scan's own
    std::atomic<std::size_t> added_{0};
    std::atomic<std::size_t> finished_{0};
    std::thread thread_;  // last: started once the rest is in place
};

}  // namespace

template <typename Distance>
std::int32_t convert_rows_alongside(TokenReader& matrix, IdTable& ids, std::int32_t order, DistanceRows<Distance>& rows,
                                    std::size_t longest, console::Meter& meter, std::string_view label) {
    if (order < minimum_order || ids.size() == 0 || !two_cores()) {
        return 0;
    }
    // Mapped, the whole file stays where it is: the helper reads rows the scan has passed.
    const io::ReadBuffer& input = matrix.input();
    if (!input.mapped()) {
        return 0;
    }
    std::optional<Converter<Distance>> converter;
    try {
        converter.emplace(input, static_cast<std::size_t>(order), rows);
    } catch (const std::system_error&) {
        return 0;
    }
    std::vector<bool> taken(ids.ids().slot_count(), false);  // slots with a row in this pass
    std::size_t confirmed = 0;      // jobs done and read whole, their rows set, in order
    std::int32_t drawn = 0;         // meter steps drawn for the rows below this
    std::int32_t scanned = 0;       // rows the scan has passed
    std::optional<Job> stopped_at;  // the first row left to the one-core reading
    std::string name;

    // Confirms the finished jobs in order, and draws the steps of the rows before the first job
    // not yet confirmed. With `wait`, until every job is settled.
    const auto settle = [&](bool wait) {
        for (;;) {
            const std::size_t finished = converter->finished();
            while (confirmed < finished && !(stopped_at && stopped_at->row <= converter->job(confirmed).row)) {
                const Job& job = converter->job(confirmed);
                if (!converter->read_whole(confirmed)) {
                    stopped_at = job;
                    break;
                }
                ids.set_matrix_row(job.slot, job.row);
                ++confirmed;
            }
            const bool pending = confirmed < converter->added() && !(stopped_at && stopped_at->row <= converter->job(confirmed).row);
            const std::int32_t limit =
                std::min(stopped_at ? stopped_at->row : scanned, pending ? converter->job(confirmed).row : scanned);
            for (; drawn < limit; ++drawn) {
                meter.step(label, console::percentage(std::int64_t{drawn} + 1, order));
            }
            if (!wait || !pending) {
                return;
            }
            converter->wait_beyond(finished);
        }
    };

    for (std::int32_t row = 0; row < order && !stopped_at; ++row) {
        const std::size_t name_start = matrix.cursor();
        const bool listable = matrix.take_name(longest, name);
        const std::int64_t slot = listable && !matrix.failed() ? ids.ids().find_slot(name) : -1;
        if (matrix.failed() || (slot >= 0 && taken[static_cast<std::size_t>(slot)])) {
            stopped_at = Job{row, 0, name_start, 0, 0};
            break;
        }
        const std::size_t begin = matrix.cursor();
        if (!matrix.skip_tokens(static_cast<std::uint64_t>(order))) {
            stopped_at = Job{row, 0, name_start, 0, 0};
            break;
        }
        if (slot >= 0) {
            while (converter->full(confirmed) ||
                   (confirmed < converter->added() && matrix.cursor() - converter->job(confirmed).begin > most_bytes_ahead)) {
                settle(true);
                if (stopped_at) {
                    break;
                }
            }
            if (stopped_at) {
                break;
            }
            taken[static_cast<std::size_t>(slot)] = true;
            converter->add(Job{row, static_cast<std::uint32_t>(slot), name_start, begin, matrix.cursor()});
        }
        scanned = row + 1;
        settle(false);
    }
    settle(true);
    converter.reset();  // the helper is done with the rows before anyone else writes them
    if (stopped_at) {
        matrix.return_to(stopped_at->name_start);
        return stopped_at->row;
    }
    return order;
}

template std::int32_t convert_rows_alongside(TokenReader&, IdTable&, std::int32_t, DistanceRows<float>&, std::size_t,
                                             console::Meter&, std::string_view);
template std::int32_t convert_rows_alongside(TokenReader&, IdTable&, std::int32_t, DistanceRows<double>&, std::size_t,
                                             console::Meter&, std::string_view);

}  // namespace orvane
