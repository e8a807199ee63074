// talmiro's own batch options, and its batch mode as the shared front end runs it.
#pragma once

#include "front/program.hpp"

namespace talmiro {

struct Options {
    bool exact = false;  // a name takes the records whose header's first word it is
};

class BatchMode final : public session::BatchProgram {
public:
    void declare_options(session::OptionSet& options) override;
    session::Outcome run(session::Front& front, const session::BatchOptions& common) override;

private:
    Options options_;
};

}  // namespace talmiro
