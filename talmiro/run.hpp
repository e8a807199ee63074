#pragma once

#include "batch.hpp"

#include <iosfwd>

namespace talmiro {

// One run from the command line; --exact matches a header's first word whole.
session::Outcome run_batch(session::Front& front, const session::BatchOptions& options);

// One whole interactive session: answers come from `in`, everything shown goes to `out`.
// Every way out, aborts included, simply returns.
session::Outcome run(std::istream& in, std::ostream& out);

}  // namespace talmiro
