#include "talmiro/options.hpp"

#include "talmiro/run.hpp"

namespace talmiro {

void BatchMode::declare_options(session::OptionSet& options) {
    options.flag("--exact", options_.exact,
                 "a name takes the records whose header's first word is the name (default: whose header "
                 "begins with it, so contig_1 also takes contig_10)");
}

session::Outcome BatchMode::run(session::Front& front, const session::BatchOptions& common) {
    return run_batch(front, common, options_);
}

}  // namespace talmiro
