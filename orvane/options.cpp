#include "orvane/options.hpp"

#include "orvane/layouts.hpp"
#include "orvane/run.hpp"

namespace orvane {

namespace {

std::string listed(const std::vector<std::string>& names) {
    std::string text;
    for (const std::string& name : names) {
        text += (text.empty() ? "" : ", ") + name;
    }
    return text;
}

}  // namespace

void BatchMode::declare_options(session::OptionSet& options) {
    const std::vector<std::string> layouts(layout_names.begin(), layout_names.end());
    std::vector<std::string> readable = {"auto"};
    readable.insert(readable.end(), layouts.begin(), layouts.end());
    options.choice("--input-format", options_.input_format, "F", readable,
                   "the input's layout: auto (default: told from the first lines), " + listed(layouts));
    options.choice("--output-format", options_.output_format, "F", layouts,
                   "the output's layout: " + listed(layouts) + " (default: the input's)");
}

session::Outcome BatchMode::run(session::Front& front, const session::BatchOptions& common) {
    return run_batch(front, common, options_);
}

}  // namespace orvane
