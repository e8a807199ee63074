// Reading records where a .tix says they lie. The index is opened only once it is proved the
// file's own, and each record read through it is held to be where and what the index says: a
// record that is not throws Untrusted, and the caller reads the file whole instead.
#pragma once

#include "index/identity.hpp"
#include "io/random_access.hpp"
#include "talmiro/index/record_table.hpp"
#include "talmiro/index/tix_format.hpp"
#include "talmiro/match/name_selection.hpp"
#include "talmiro/records/record_scanner.hpp"

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace talmiro {

// The .tix beside a file, opened, proved the file's own, with its BGZF members.
struct LoadedIndex {
    TixFile tix;
    std::optional<std::vector<io::BgzfMember>> members;
    RecordFormat format() const { return tix.facts().format; }
    const std::vector<io::BgzfMember>* member_list() const { return members ? &*members : nullptr; }
};

// The index of `file`, where it has one a run can read through: nothing, with `not_used` saying
// why, where it has none or cannot be read from the middle. Throws Untrusted where an index is
// there but cannot be trusted (a .fai or .gzi without the .tix that vouches for it included).
std::optional<LoadedIndex> open_index(const indexing::Reporting& reporting, const io::InputFile& file,
                                      std::string& not_used);

// The text read_located() reads of a record: the record and the byte on each side of it.
inline io::TextRange text_read_for(const LocatedRecord& entry) {
    return {entry.offset == 0 ? 0 : entry.offset - 1, entry.offset + entry.length + 1};
}

// Has the BGZF members that hold `ranges` (in the order they will be read) inflated ahead into
// `cache`, each once, on every core the run may use; nothing for a plain file or a run kept to
// one core.
void inflate_ahead(const io::InputFile& file, const LoadedIndex& index, const std::vector<io::TextRange>& ranges,
                   io::BgzfMemberCache& cache);

// Reads the located record through the scanner that reads whole files. `choose`, given its
// header line, returns the sink for the rest of the record (begun already) or null to pass it
// over. Throws Untrusted where the record is not one whole record, named as the index says,
// lying between two records.
void read_located(const io::InputFile& file, const LoadedIndex& index, io::BgzfMemberCache& members,
                  const LocatedRecord& entry, const std::function<RecordSink*(const HeaderLine&)>& choose);

}  // namespace talmiro
