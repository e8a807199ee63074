// talmiro's run: the steps in order, for the dialogue and for batch mode.
#pragma once

#include "front/program.hpp"
#include "talmiro/app/options.hpp"

#include <iosfwd>

namespace talmiro {

// One run from the command line.
session::Outcome run_batch(session::Front& front, const session::BatchOptions& common, const Options& options);

// Batch mode as the shared front end runs it.
using BatchMode = session::BatchModeOf<Options, declare_options, run_batch, misuse>;

// One whole interactive session: answers come from `in`, everything shown goes to `out`.
// Every way out, aborts included, simply returns.
session::Outcome run(std::istream& in, std::ostream& out);

}  // namespace talmiro
