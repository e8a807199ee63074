#include "talmiro/options.hpp"

namespace talmiro {

void declare_options(session::OptionSet& options, Options& values) {
    options.flag("--exact", values.exact,
                 "a name takes the records whose header's first word is the name (default: whose header "
                 "begins with it, so contig_1 also takes contig_10)");
}

}  // namespace talmiro
