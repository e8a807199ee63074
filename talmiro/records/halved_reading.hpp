// A large FASTA or FASTQ file read in two halves, one a core: the later half from a record
// start found near the middle, the earlier up to it. The earlier half proves the split: it stops
// only where a record of its own begins exactly there, and otherwise reads on to the end while
// the later half's reading counts for nothing. Records, counts, checks and messages are so those
// of one pass whatever the split. (In FASTA every '>' after the first record's begins a record;
// in FASTQ the start is a guess.)
#pragma once

#include "io/progress.hpp"
#include "talmiro/match/name_selection.hpp"
#include "talmiro/records/record_scanner.hpp"
#include "threads/helper.hpp"

#include <cstdint>
#include <memory>
#include <vector>

namespace talmiro {

// Files smaller than this are read in one pass: a thread and a second reader cost more than
// half of their scan saves.
constexpr std::uint64_t halving_from = std::uint64_t{64} << 20;

// The later half of the file `records` reads, from a record start near its middle, with
// `records` told to stop there; null where the file is not a regular file read as it is, is
// smaller than `smallest`, no second core is at hand, or no record start is found.
std::unique_ptr<RecordScanner> later_half_of(RecordScanner& records, threads::Cores cores,
                                             std::uint64_t smallest = halving_from);

// read_records() over both halves at once, the later on a helper thread, each handing its
// records to a sink of its own. Where the later half counts, its counts go into `taken` and
// `earlier`, and `later_sink`'s records follow `earlier_sink`'s in file order; where it does not,
// `earlier` read the whole file and `later_sink` must be dropped. Returns the records handed
// to the sinks that count; `later_counts` says which.
std::uint64_t read_halves(RecordScanner& earlier, RecordScanner& later, const NameSelector& selector, bool exclude,
                          RecordSink& earlier_sink, RecordSink& later_sink, std::vector<std::uint64_t>& taken,
                          const io::Progress& progress, std::size_t list_count, bool& later_counts);

}  // namespace talmiro
