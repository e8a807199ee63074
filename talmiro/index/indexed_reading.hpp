// Taking an input's records through its index rather than reading it whole: the listed names
// are looked up, and only the records they may take are read, each where the index says it lies,
// by the same scanner that reads whole files, so each is taken exactly as a scan would take it.
// An index is never trusted: one made for another version of the file, or any record that is not
// where and what it says, and the input is read whole instead.
#pragma once

#include "index/identity.hpp"
#include "io/progress.hpp"
#include "talmiro/match/name_selection.hpp"
#include "talmiro/storage/taken_records.hpp"

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

namespace talmiro {

// What an index gave: the records taken, in places like a scan's, and counts.
struct IndexedInput {
    std::unique_ptr<TakenRecords> places;
    std::vector<std::uint64_t> taken;  // per slot
    std::uint64_t records = 0;         // in the whole file
    std::uint64_t located = 0;         // read where the index put them
    RecordFormat format = RecordFormat::fasta;
};

// The input's records through FILE.tix, or nothing where the input has no index or its index
// cannot be trusted (said once through `reporting`'s warning; a .fai or .gzi without the .tix
// that vouches for it is not trusted); `not_used` then says why, for -v. Progress is told as a
// scan tells it.
std::optional<IndexedInput> take_through_index(const indexing::Reporting& reporting, const io::InputFile& file,
                                               const NameTable& table, const NameSelector& selector, Matching matching,
                                               const std::string& spool_folder, std::size_t spool_budget,
                                               const io::Progress& progress, std::string& not_used);

}  // namespace talmiro
