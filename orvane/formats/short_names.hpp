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
// unless another ID took it first; any other gets a code made of what tells it apart from the
// other long IDs of the list (of Staphylococcus_aureus_GCF_000013425.1 and
// Staphylococcus_aureus_GCF_000009645.1, the accession's digits: 13425 and 9645; of Homo sapiens
// and Pan troglodytes, Homo_sapie and Pan_troglo), cut to fit and numbered where that is taken.
// The same list and inputs always give the same names.
class ShortNames {
public:
    // Gives each ID found in `ids` that has none yet its short name, first the IDs that keep their
    // own (so no code takes one of them), then the rest; then has `ids` write them.
    void give(IdTable& ids);
    // Two columns, the short name and the ID, one line per ID, in list order.
    void write_map(io::OutputFile& map) const;

private:
    struct Given {
        std::size_t position;  // the ID's first place in the list
        std::string short_name;
        std::string name;
    };
    std::string code_for(std::string_view name) const;
    std::string numbered(const std::string& base) const;
    std::unordered_map<std::string, std::string> short_of_name_;
    std::unordered_set<std::string> taken_;
    std::vector<Given> given_;
    // How many of the list's IDs hold each word: a word one ID alone holds tells it apart.
    std::unordered_map<std::string, std::size_t> ids_holding_;
    bool words_known_ = false;
};

// Whether `name` may stand in PHYLIP and Newick as it is.
bool is_short_name(std::string_view name);

}  // namespace orvane
