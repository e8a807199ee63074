// talmiro's run of regions: the regions gathered from the command line and their files, cut
// from the input (through its index where it can be), checked, then written in their order.
#pragma once

#include "front/session.hpp"
#include "talmiro/app/options.hpp"

#include <cstddef>
#include <string>

namespace talmiro {

// `spool_folder` takes the outputs past `spool_budget` bytes until they are written.
session::Outcome run_regions(session::Front& front, const RegionChoice& choice, const std::string& spool_folder,
                             std::size_t spool_budget);

}  // namespace talmiro
