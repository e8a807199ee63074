// Finds, for a FASTA header line, the first listed name (in list order) that begins it.
#pragma once

#include "console.hpp"

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace talmiro {

// Names are grouped by length, one hash per length: a header is looked up once per distinct
// name length that fits it, however many names the list holds.
class NameMatcher {
public:
    // `names` must have its slots assigned and outlive the matcher.
    explicit NameMatcher(const console::NameList& names);

    // The slot of the listed name with the smallest list position that begins `header`, or -1.
    std::int64_t first_match(std::string_view header) const;

private:
    struct LengthGroup {
        std::size_t length;
        std::unordered_map<std::string_view, std::uint32_t> slot_of_name;
    };
    const console::NameList& names_;
    std::vector<LengthGroup> groups_;  // by ascending length
};

}  // namespace talmiro
