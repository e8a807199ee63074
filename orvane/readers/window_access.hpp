// How a matrix file's bytes reach its reader, decided once per file as soon as its layout is
// known: through the mapping, or copied into windows (read ahead on a helper).
#pragma once

#include "orvane/formats/layouts.hpp"

namespace orvane {

enum class Scan { cut, index };

// Every reader that walks the file once in short steps is faster on copied windows: on virtual
// machines the mapping's page walks cost more than the copy. A square matrix stays mapped where
// its listed rows are converted alongside the scan (the helper reads them where they lie) and
// when it is indexed (a row that is no numbers is read again from its start). A pairs file is
// left mapped here: read in two halves through pread it needs no windows at all, and its reader
// copies them only where it reads on one thread.
inline bool reads_copied(Layout layout, Scan scan, bool rows_converted_alongside) {
    switch (layout) {
    case Layout::pairs:
        return false;
    case Layout::square:
        return scan == Scan::cut && !rows_converted_alongside;
    default:
        return true;
    }
}

}  // namespace orvane
