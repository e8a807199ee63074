// Whether an index is the file's own. The stamp (size, times, inode) alone decides where all of
// it is as stored; where only the size is, the file may be the same bytes under another stamp
// (copied with `cp -p`, staged by a workflow engine, restored from a backup), and its content
// is checked against the stored checksum in one pass: equal, the index is used and its stamp
// brought up to date in place, so that later runs are fast again.
#pragma once

#include "index/index_file.hpp"
#include "index/trust.hpp"
#include "io/input_file.hpp"

#include <chrono>
#include <functional>

namespace indexing {

using Now = std::function<std::chrono::system_clock::time_point()>;

// What a run hands the index code: where to warn (always shown) and where to note what only
// -v shows, and the time (tests hand in their own).
struct Reporting {
    Warn warn;
    Warn note;
    Now now = std::chrono::system_clock::now;
};

// Whether a change made now could leave `stamp` as it is: the file changed within the coarsest
// tick a file system's clock has (2 s, FAT and some NFS servers) before `now`, or its times lie
// ahead of the clock.
bool racy(const io::FileStamp& stamp, std::chrono::system_clock::time_point now);

// Throws Untrusted where `index` was made for another file than the one open as `file`, whose
// stamp is `stamp`; checks the content where the stamp alone cannot tell.
void confirm_identity(const IndexFile& index, const io::InputFile& file, const io::FileStamp& stamp,
                      const Reporting& reporting);

}  // namespace indexing
