// orvane's own batch options, and its batch mode as the shared front end runs it.
#pragma once

#include "front/program.hpp"

#include <string>

namespace orvane {

struct Options {
    std::string input_format = "auto";  // auto, or a layout's name
    std::string output_format;          // a layout's name; empty: the input's
};

class BatchMode final : public session::BatchProgram {
public:
    void declare_options(session::OptionSet& options) override;
    session::Outcome run(session::Front& front, const session::BatchOptions& common) override;

private:
    Options options_;
};

}  // namespace orvane
