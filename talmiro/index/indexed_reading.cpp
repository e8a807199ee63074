#include "talmiro/index/indexed_reading.hpp"

#include "index/trust.hpp"
#include "talmiro/index/located_records.hpp"

#include <algorithm>

namespace talmiro {

namespace {

// Every record a listed name might take, by where its name could stand in the sorted table;
// the scanner's own matching then decides on the whole header line.
std::vector<LocatedRecord> candidates(const RecordTable& table, const NameTable& names, Matching matching) {
    std::vector<LocatedRecord> found;
    const auto add = [&](std::pair<std::size_t, std::size_t> positions) {
        for (std::size_t position = positions.first; position < positions.second; ++position) {
            found.push_back(table.at(position));
        }
    };
    const text::NameList& keys = names.keys();
    for (std::size_t position = 0; position < keys.size(); ++position) {
        const std::string_view name = keys.name(position);
        // A name holding white space reaches past the header's first word: only that word is
        // looked up.
        const std::string_view word = index_name(name);
        if (word.size() < name.size()) {
            add(table.named(word));
        } else if (matching == Matching::prefix) {
            add(table.beginning_with(name));
        } else {
            add(table.named(name));
            if (matching == Matching::word) {
                // A read's name takes its mates, "name/1" and "name/2".
                for (const char mate : {'1', '2'}) {
                    add(table.named(std::string(name) + '/' + mate));
                }
            }
        }
    }
    const auto by_offset = [](const LocatedRecord& a, const LocatedRecord& b) { return a.offset < b.offset; };
    std::sort(found.begin(), found.end(), by_offset);
    found.erase(std::unique(found.begin(), found.end(),
                            [](const LocatedRecord& a, const LocatedRecord& b) { return a.offset == b.offset; }),
                found.end());
    return found;
}

IndexedInput take_records(const io::InputFile& file, const LoadedIndex& index, const NameTable& table,
                          const NameSelector& selector, Matching matching, const std::string& spool_folder,
                          std::size_t spool_budget) {
    IndexedInput input;
    input.format = index.format();
    input.records = index.tix.facts().records;
    input.places = std::make_unique<TakenRecords>(index.format(), table.slot_count(), spool_folder, spool_budget);
    input.taken.assign(table.slot_count(), 0);
    std::string scratch;
    // Records in file order: those sharing a member inflate it once, ahead of the reading.
    const std::vector<LocatedRecord> located = candidates(index.tix.table(), table, matching);
    std::vector<io::TextRange> ranges;
    for (const LocatedRecord& record : located) {
        ranges.push_back(text_read_for(record));
    }
    io::BgzfMemberCache members;
    inflate_ahead(file, index, ranges, members);
    for (const LocatedRecord& entry : located) {
        ++input.located;
        read_located(file, index, members, entry, [&](const HeaderLine& header) -> RecordSink* {
            const std::int64_t slot = selector.slot_for(header, scratch);
            if (slot < 0) {
                return nullptr;
            }
            ++input.taken[static_cast<std::size_t>(slot)];
            input.places->begin_record(slot);
            return input.places.get();
        });
    }
    return input;
}

}  // namespace

std::optional<IndexedInput> take_through_index(const indexing::Reporting& reporting, const io::InputFile& file,
                                               const NameTable& table, const NameSelector& selector, Matching matching,
                                               const std::string& spool_folder, std::size_t spool_budget,
                                               const io::Progress& progress, std::string& not_used) {
    try {
        const std::optional<LoadedIndex> index = open_index(reporting, file, not_used);
        if (!index) {
            return std::nullopt;
        }
        // Every record is read and checked before anything is written or drawn, so a failed
        // check leaves nothing to undo; the meter then shows the records taken as a scan does.
        IndexedInput input = take_records(file, *index, table, selector, matching, spool_folder, spool_budget);
        progress.begin();
        std::int64_t matches = 0;
        for (const std::uint64_t count : input.taken) {
            for (std::uint64_t record = 0; record < count; ++record) {
                progress.step(io::percentage(++matches, static_cast<std::int64_t>(table.size())));
            }
        }
        return input;
    } catch (const indexing::Untrusted& untrusted) {
        reporting.warn(indexing::reading_whole(untrusted));
        not_used = "its index cannot be trusted";
        return std::nullopt;
    }
}

}  // namespace talmiro
