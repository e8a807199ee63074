// orvane's run: the steps in order, for the dialogue and for batch mode.
#pragma once

#include "front/program.hpp"
#include "orvane/app/options.hpp"

#include <iosfwd>

namespace orvane {

// One run from the command line. Distances are held in double precision there, so the six
// decimals written are the six read, and a matrix that cannot be read to its end is an error;
// the matrix may be in any layout, and the sub-matrix written in any.
session::Outcome run_batch(session::Front& front, const session::BatchOptions& common, const Options& options);

// Batch mode as the shared front end runs it.
using BatchMode = session::BatchModeOf<Options, declare_options, run_batch, misuse>;

// One whole interactive session: answers come from `in`, everything shown goes to `out`.
// Every way out, aborts included, simply returns.
session::Outcome run(std::istream& in, std::ostream& out);

}  // namespace orvane
