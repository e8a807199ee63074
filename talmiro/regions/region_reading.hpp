// Cutting the regions out of an input: in one pass over its records, or through its index,
// reading only the lines each region holds. Either way each region's record is the first whose
// name (its header's first word) is the region's, and each region's output is kept, in the
// order the run writes them, until the run decides to write.
#pragma once

#include "index/identity.hpp"
#include "io/progress.hpp"
#include "talmiro/records/record_scanner.hpp"
#include "talmiro/regions/region.hpp"
#include "talmiro/storage/taken_records.hpp"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace talmiro {

// What the run asks of the regions.
struct RegionJob {
    const std::vector<Region>& regions;
    std::uint32_t line_width = 60;  // 0: each sequence on one line
    std::string spool_folder;       // where outputs past `budget` bytes wait
    std::size_t budget = 0;
};

// What a pass gave: each region's output, under the region's place in the given order (one
// record each, none where its record was not found) and taken in file order; each region's
// record's length; counts for -v.
struct CutRegions {
    std::unique_ptr<TakenRecords> outputs;
    std::vector<std::optional<std::uint64_t>> record_bases;  // none where no record has the name
    RecordFormat format = RecordFormat::fasta;
    std::uint64_t records = 0;  // scanned, or in the whole file as its index says
    std::uint64_t located = 0;  // read where the index put them
};

// One pass over every record; stops at the end of the records or at a malformed one.
CutRegions cut_from_scan(RecordScanner& records, const RegionJob& job, const io::Progress& progress);

// Through the input's index: nothing where it has none the run can use, or one that cannot be
// trusted (said once through `reporting`), with `not_used` saying why.
std::optional<CutRegions> cut_through_index(const indexing::Reporting& reporting, const io::InputFile& file,
                                            const RegionJob& job, const io::Progress& progress, std::string& not_used);

}  // namespace talmiro
