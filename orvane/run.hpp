#pragma once

#include "session.hpp"

#include <iosfwd>

namespace orvane {

// One whole run through `front`: the steps from the list to the written outputs.
session::Outcome run_with(session::Front& front);

// One whole interactive session: answers come from `in`, everything shown goes to `out`.
// Every way out, aborts included, simply returns.
session::Outcome run(std::istream& in, std::ostream& out);

}  // namespace orvane
