// One pass over an input's records: each goes to the first listed name that takes it, and on
// to the sink when the run wants it.
#pragma once

#include "io/progress.hpp"
#include "talmiro/match/name_selection.hpp"
#include "talmiro/records/mate_check.hpp"
#include "talmiro/records/record_scanner.hpp"

#include <cstdint>
#include <vector>

namespace talmiro {

// Hands `sink` every record some listed name takes (or, `exclude`, every record none takes),
// and counts in `taken` (one count per slot) the records each name took. Draws the reading
// meter against the list's `list_count` names (the caller ends its line). Stops at the end of
// the records or at a malformed one. Returns the number of records handed to `sink`. With
// `mates`, every record's first word goes to it as input `nth`'s (and the reading stops once
// the inputs prove out of step).
std::uint64_t read_records(RecordScanner& records, const NameSelector& selector, bool exclude, RecordSink& sink,
                           std::vector<std::uint64_t>& taken, const io::Progress& progress, std::size_t list_count,
                           MateCheck* mates = nullptr, std::size_t nth = 0);

}  // namespace talmiro
