#pragma once

#include <iosfwd>

namespace talmiro {

// One whole interactive session: answers come from `in`, everything shown goes to `out`.
// Every way out, aborts included, simply returns.
void run(std::istream& in, std::ostream& out);

}  // namespace talmiro
