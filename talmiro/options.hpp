// talmiro's own batch options.
#pragma once

#include "front/program.hpp"

namespace talmiro {

struct Options {
    bool exact = false;  // a name takes the records whose header's first word it is
};

// Binds the options to the command line.
void declare_options(session::OptionSet& options, Options& values);

}  // namespace talmiro
