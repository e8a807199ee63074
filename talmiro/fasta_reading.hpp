// Reading the name list and the FASTA file.
#pragma once

#include "front/dialogue.hpp"
#include "text/name_list.hpp"
#include "io/line_reader.hpp"
#include "talmiro/record_store.hpp"

#include <cstdint>
#include <string_view>
#include <vector>

namespace talmiro {

// The listed names and, per distinct name, the records it took, in file order. The records
// are one vector chained per name, not a vector per name: a list of 100,000 names then costs
// no allocation per name, and most names take a single record anyway.
class NameTable {
public:
    // Takes the list as read; may throw std::bad_alloc.
    explicit NameTable(text::NameList names);

    const text::NameList& names() const { return names_; }
    std::size_t size() const { return names_.size(); }

    bool found_at(std::size_t position) const { return first_record_[names_.slot(position)] != no_record; }
    void add_record(std::uint32_t slot, std::string_view record);

    // Calls `visit` with each record of the name at `position`, in file order.
    template <typename Visit>
    void for_each_record_at(std::size_t position, Visit&& visit) const {
        for (std::size_t at = first_record_[names_.slot(position)]; at != no_record; at = records_[at].next) {
            visit(records_[at].text);
        }
    }

    RecordStore& store() { return store_; }

private:
    static constexpr std::size_t no_record = SIZE_MAX;
    struct Record {
        std::string_view text;  // in store_
        std::size_t next;       // the same name's next record, or no_record
    };

    text::NameList names_;
    std::vector<std::size_t> first_record_;  // per slot
    std::vector<std::size_t> last_record_;   // per slot
    std::vector<Record> records_;            // every record taken, in file order
    RecordStore store_;
};

// Every non-empty line of the list file, without the carriage return that may end it.
text::NameList read_name_lines(io::LineReader& list);

// Which records a name takes: those whose header line begins with it (the dialogue's way, so
// `contig_1` also takes `contig_10`), or those whose header's first word is the name.
enum class Matching { prefix, first_word };

// Gives each record to the first listed name (in list order) that takes it and keeps it, ready
// to write. Draws the reading meter (the caller ends its line). Returns the number of records read.
std::size_t read_fasta_records(io::LineReader& fasta, NameTable& table, console::Meter& meter,
                               Matching matching = Matching::prefix);

}  // namespace talmiro
