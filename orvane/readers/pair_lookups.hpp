// Looking up the IDs of pair lines without hashing each: pair lists come in runs of one second ID
// (mash dist writes every reference against one query, then the next query), each run naming
// the first IDs in the same order.
#pragma once

#include "orvane/model/id_table.hpp"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace orvane {

// The slot of the ID last looked up, looked up again only when the ID changes: the second ID's
// lookup, once per run.
class CachedLookup {
public:
    std::int64_t slot_of(IdTable& ids, std::string_view name) {
        bool unused = false;
        return slot_of(ids, name, unused);
    }
    // The same, telling whether the ID is another than the last one.
    std::int64_t slot_of(IdTable& ids, std::string_view name, bool& changed);
    // Whether `name` is the ID last looked up.
    bool holds(std::string_view name) const { return looked_up_ && name == last_; }

private:
    std::string last_;
    std::int64_t slot_ = -1;
    bool looked_up_ = false;
};

// The first IDs of the last run with their slots, by place in the run: a line's first ID is most
// often the one at its place in the run before, so one comparison stands for a lookup. A name
// compared equal has the slot its lookup gave, so the slots are those of a lookup for every line
// (excluding too, where a lookup gathers a name only the first time).
class RunLookup {
public:
    // A run of another second ID begins.
    void begin_run();
    std::int64_t slot_of(IdTable& ids, std::string_view name);

private:
    // One run's names back to back, with their ends and slots.
    struct Run {
        std::string names;
        std::vector<std::size_t> ends;
        std::vector<std::int64_t> slots;

        std::string_view name(std::size_t place) const;
        void clear();
    };

    Run previous_;
    Run current_;
    std::size_t place_ = 0;
};

}  // namespace orvane
