// Names of at most ten characters, safe in PHYLIP's name field and in Newick trees, and the map
// back to the IDs they stand for.
#pragma once

#include "io/output_file.hpp"
#include "orvane/model/data_set.hpp"
#include "orvane/model/id_table.hpp"

#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace orvane {

// One short name per ID, kept across data sets: an ID that is already such a name keeps it
// unless another ID took it first; any other gets a code made from its own characters, cut
// to fit and numbered where that is taken. Given in the order IDs are first written, so the
// same inputs always give the same names.
class ShortNames {
public:
    // Gives each ID found in `ids` that has none yet its short name, first the IDs that keep their
    // own (so no code takes one of them), then the rest; then has `ids` write them.
    void give(IdTable& ids);
    // Two columns, the short name and the ID, one line per ID, in the order they were given.
    void write_map(io::OutputFile& map) const;

private:
    std::string code_for(std::string_view name);
    std::unordered_map<std::string, std::string> short_of_name_;
    std::unordered_set<std::string> taken_;
    std::vector<std::pair<std::string, std::string>> given_;  // short, ID
};

// Whether `name` may stand in PHYLIP and Newick as it is.
bool is_short_name(std::string_view name);

}  // namespace orvane
