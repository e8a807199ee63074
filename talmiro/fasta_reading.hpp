// Reading the name list and the FASTA file.
#pragma once

#include "console.hpp"
#include "line_reader.hpp"
#include "record_store.hpp"

#include <string_view>
#include <vector>

namespace talmiro {

// The listed names and, per distinct name, the records it took, in file order.
class NameTable {
public:
    // Takes the list as read; may throw std::bad_alloc.
    explicit NameTable(console::NameList names);

    const console::NameList& names() const { return names_; }
    std::size_t size() const { return names_.size(); }

    const std::vector<std::string_view>& records_at(std::size_t position) const {
        return records_[names_.slot(position)];
    }
    bool found_at(std::size_t position) const { return !records_at(position).empty(); }
    void add_record(std::uint32_t slot, std::string_view record) { records_[slot].push_back(record); }

    RecordStore& store() { return store_; }

private:
    console::NameList names_;
    std::vector<std::vector<std::string_view>> records_;  // per slot, views into store_
    RecordStore store_;
};

// Every non-empty line of the list file, without the carriage return that may end it.
console::NameList count_list_lines(LineReader& list);

// Gives each record to the first listed name (in list order) that begins its header line and
// keeps it, ready to write. Draws the reading meter and ends its line.
void read_fasta_records(LineReader& fasta, NameTable& table, console::Console& console);

// One question per name not found, in list order; false at the first refusal.
bool confirm_missing_names(const NameTable& table, console::Console& console);

}  // namespace talmiro
