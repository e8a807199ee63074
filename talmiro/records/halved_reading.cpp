#include "talmiro/records/halved_reading.hpp"

#include "talmiro/records/fasta_records.hpp"
#include "talmiro/records/fastq_records.hpp"
#include "talmiro/records/record_reading.hpp"

#include <sys/stat.h>
#include <unistd.h>
#include <exception>
#include <numeric>
#include <optional>
#include <string>

namespace talmiro {

namespace {

// The file's bytes from `offset` on, a megabyte of them: where a split is looked for. Fewer at
// the end, none where the file cannot be read (no split then).
std::string megabyte_at(int descriptor, std::uint64_t offset) {
    std::string bytes(std::size_t{1} << 20, '\0');
    const ssize_t got = ::pread(descriptor, bytes.data(), bytes.size(), static_cast<off_t>(offset));
    bytes.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
    return bytes;
}

// A line beginning with '@' whose next line begins with neither '@' nor '+' and whose line after
// that begins with '+': a header, a sequence on one line and its '+' line, as nearly every FASTQ
// file has them. A quality line beginning with '@' is followed by a header, so is passed over.
// Only a guess, proven by the earlier half.
std::optional<std::uint64_t> record_start_near(int descriptor, std::uint64_t middle) {
    const std::string bytes = megabyte_at(descriptor, middle);
    const auto begins_with = [&](std::size_t line_break, char marker) {
        return line_break + 1 < bytes.size() && bytes[line_break + 1] == marker;
    };
    for (std::size_t line_break = bytes.find('\n'); line_break != std::string::npos;
         line_break = bytes.find('\n', line_break + 1)) {
        if (!begins_with(line_break, '@')) {
            continue;
        }
        const std::size_t second = bytes.find('\n', line_break + 1);
        const std::size_t third = second == std::string::npos ? second : bytes.find('\n', second + 1);
        if (third == std::string::npos) {
            break;
        }
        if (!begins_with(second, '@') && !begins_with(second, '+') && begins_with(third, '+')) {
            return middle + line_break + 1;
        }
    }
    return std::nullopt;
}

// The first '>' at or after `middle`: in FASTA, wherever it stands, a record's start.
std::optional<std::uint64_t> marker_near(int descriptor, std::uint64_t middle) {
    const std::string bytes = megabyte_at(descriptor, middle);
    const std::size_t marker = bytes.find('>');
    return marker == std::string::npos ? std::nullopt : std::optional<std::uint64_t>(middle + marker);
}

// Both halves' scanners as their format has them; the other member null.
struct Scanners {
    FastqScanner* fastq = nullptr;
    FastaScanner* fasta = nullptr;
};

Scanners scanners_of(RecordScanner& records) {
    return {dynamic_cast<FastqScanner*>(&records), dynamic_cast<FastaScanner*>(&records)};
}

std::uint64_t sum_of(const std::vector<std::uint64_t>& counts) {
    return std::accumulate(counts.begin(), counts.end(), std::uint64_t{0});
}

}  // namespace

std::unique_ptr<RecordScanner> later_half_of(RecordScanner& records, threads::Cores cores, std::uint64_t smallest) {
    const Scanners earlier = scanners_of(records);
    const io::InputFile* const file = records.input().plain_file();
    struct stat info {};
    if ((earlier.fastq == nullptr && earlier.fasta == nullptr) || file == nullptr || !threads::second_core(cores) ||
        ::fstat(file->descriptor(), &info) != 0 || !S_ISREG(info.st_mode) ||
        static_cast<std::uint64_t>(info.st_size) < smallest) {
        return nullptr;
    }
    const auto size = static_cast<std::uint64_t>(info.st_size);
    const std::uint64_t read_so_far = records.input().file_offset(records.input().pos());
    const std::uint64_t middle = read_so_far + (size - read_so_far) / 2;
    const std::optional<std::uint64_t> split = earlier.fastq != nullptr ? record_start_near(file->descriptor(), middle)
                                                                        : marker_near(file->descriptor(), middle);
    // Each half is read as the whole file would be: FASTQ copied, FASTA through the mapping.
    std::optional<io::ReadBuffer> reader =
        split ? records.input().reader_from(*split, records.input().mapped()
                                                        ? io::ReadBuffer::Access::mapped_when_possible
                                                        : io::ReadBuffer::Access::copied)
              : std::nullopt;
    if (!reader) {
        return nullptr;
    }
    if (earlier.fastq != nullptr) {
        earlier.fastq->stop_at(*split);
        return std::make_unique<FastqScanner>(std::move(*reader), earlier.fastq->checks());
    }
    earlier.fasta->stop_at(*split);
    return std::make_unique<FastaScanner>(std::move(*reader), earlier.fasta->checks());
}

std::uint64_t read_halves(RecordScanner& earlier, RecordScanner& later, const NameSelector& selector, bool exclude,
                          RecordSink& earlier_sink, RecordSink& later_sink, std::vector<std::uint64_t>& taken,
                          const io::Progress& progress, std::size_t list_count, bool& later_counts) {
    std::vector<std::uint64_t> later_taken(taken.size(), 0);
    std::uint64_t later_handed = 0;
    std::exception_ptr later_failure;
    const auto read_later = [&] {
        try {
            later_handed = read_records(later, selector, exclude, later_sink, later_taken, io::Progress(), list_count);
        } catch (...) {
            later_failure = std::current_exception();
        }
    };
    std::uint64_t handed = 0;
    {
        threads::Helper helper([&](const std::stop_token&) { read_later(); });
        handed = read_records(earlier, selector, exclude, earlier_sink, taken, progress, list_count);
        if (!helper.running()) {
            read_later();
        }
    }  // joined here
    const Scanners both = scanners_of(earlier);
    later_counts = both.fastq != nullptr ? both.fastq->stopped() : both.fasta->stopped();
    if (!later_counts) {
        return handed;  // the split was no record start: the earlier half read the whole file
    }
    if (later_failure) {
        std::rethrow_exception(later_failure);
    }
    if (both.fastq != nullptr) {
        both.fastq->absorb(dynamic_cast<const FastqScanner&>(later));
    } else {
        both.fasta->absorb(dynamic_cast<const FastaScanner&>(later));
    }
    for (std::size_t slot = 0; slot < taken.size(); ++slot) {
        taken[slot] += later_taken[slot];
    }
    if (list_count > 0 && sum_of(later_taken) > 0) {
        progress.step(io::percentage(static_cast<std::int64_t>(sum_of(taken)), static_cast<std::int64_t>(list_count)));
    }
    return handed + later_handed;
}

}  // namespace talmiro
