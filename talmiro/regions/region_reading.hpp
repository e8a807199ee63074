// Cutting the regions out of an input: in one pass over its records, or through its index,
// reading only the lines each region holds. Either way each region's record is the first whose
// name (its header's first word) is the region's, and each region's output goes to the run's
// RegionOutputs as it is cut.
#pragma once

#include "index/identity.hpp"
#include "io/progress.hpp"
#include "talmiro/records/record_scanner.hpp"
#include "talmiro/regions/region.hpp"
#include "talmiro/storage/taken_records.hpp"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace talmiro {

// Where each region's output goes once it is cut, under its place in the given order (none
// for a region whose record is not found).
class RegionOutputs {
public:
    virtual void keep(std::size_t nth, std::string_view text) = 0;

protected:
    ~RegionOutputs() = default;
};

// The outputs kept until the run writes them (in memory up to a budget, then in a spool file):
// in the given order, or as they were cut (file order).
class SpooledRegions final : public RegionOutputs {
public:
    SpooledRegions(std::size_t count, std::string spool_folder, std::size_t budget)
        : count_(count), spool_folder_(std::move(spool_folder)), budget_(budget) {}
    void keep(std::size_t nth, std::string_view text) override;
    // Hands every output to `use`: in the given order, or (`as_cut`) in the order they were cut.
    std::uint64_t write(bool as_cut, const std::function<void(std::string_view)>& use);

private:
    std::size_t count_;
    std::string spool_folder_;
    std::size_t budget_;
    // Each output as a record of the format its marker tells, from the first kept on.
    std::optional<TakenRecords> kept_;
};

// What the run asks of the regions.
struct RegionJob {
    const std::vector<Region>& regions;
    std::uint32_t line_width = 60;  // 0: each sequence on one line
    RegionOutputs& outputs;
    // Through an index, regions are cut in the given order (each output can be written as it is
    // cut) rather than in file order (each stretch of the file read once, outputs kept).
    bool in_given_order = false;
};

// What a pass gave: each region's record's length; counts for -v.
struct CutRegions {
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
