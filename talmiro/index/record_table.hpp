// The record table an index gives: every record's name (its header's first word) with where the
// record lies, in sorted byte order, so that a name, or every name beginning with a text, is
// found by a binary search whatever the number of records. Held by our own .tix file, which is
// looked up in place through a mapping, or built in memory from a .fai.
#pragma once

#include "io/mapped_file.hpp"
#include "io/output_file.hpp"
#include "talmiro/index/large_arrays.hpp"
#include "talmiro/match/name_selection.hpp"
#include "talmiro/records/record_scanner.hpp"

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace talmiro {

// One record: [offset, offset + length) of the text, from its '>' or '@' to the next record's
// (or the end of the text); its name is names[name_offset, name_offset + name_length).
struct IndexEntry {
    std::uint64_t offset;
    std::uint64_t length;
    std::uint64_t name_offset;
    std::uint32_t name_length;
    std::uint32_t reserved;  // 0
};
static_assert(sizeof(IndexEntry) == 32);

// The name an index gives a record: its header's first word, as samtools names the records of
// a .fai (white space at the start passed over).
std::string_view index_name(std::string_view header);

// A sorted table of entries and the names they point into.
class RecordTable {
public:
    RecordTable(std::span<const IndexEntry> entries, std::string_view names) : entries_(entries), names_(names) {}

    // The entries named `name`, in file order.
    std::span<const IndexEntry> named(std::string_view name) const;
    // The entries whose names begin with `prefix`.
    std::span<const IndexEntry> beginning_with(std::string_view prefix) const;
    // The name of an entry; empty for one that points outside the names (a damaged table).
    std::string_view name_of(const IndexEntry& entry) const;
    std::size_t size() const { return entries_.size(); }
    std::span<const IndexEntry> entries() const { return entries_; }

private:
    std::span<const IndexEntry> entries_;
    std::string_view names_;
};

// Entries and names gathered in memory, sorted once all are in: by name, then by place.
class RecordTableBuilder {
public:
    // Room for about this many records and bytes of names, so that the arrays need not grow by
    // copying (a guess: more are taken all the same).
    void expect(std::size_t records, std::size_t name_bytes);
    void add(std::string_view name, std::uint64_t offset, std::uint64_t length);
    // Puts the entries in order, for lookups in memory.
    void sort();
    // Hands the entries to `use` in order, a stretch at a time, leaving them where they are:
    // writing a table needs no second array as long as the first.
    void in_order(const std::function<void(std::span<const IndexEntry>)>& use) const;
    RecordTable view() const { return {entries_, names_}; }
    std::span<const IndexEntry> entries() const { return entries_; }
    std::string_view names() const { return names_; }

private:
    // Where each entry goes: its index, in sorted order (the keys are a sorting aid).
    struct Placed {
        std::uint64_t key;
        std::uint64_t index;
    };
    LargeVector<Placed> sorted_places() const;

    LargeVector<IndexEntry> entries_;
    LargeString names_;
};

// What a .tix says of the file it was made for.
struct TixFacts {
    io::FileStamp stamp;  // the file's, as stored (compressed, for BGZF)
    RecordFormat format = RecordFormat::fasta;
    bool bgzf = false;
    std::uint64_t records = 0;
    std::uint64_t text_size = 0;  // where the text ends (inflated, for BGZF)
};

// Writes a .tix: a 64-byte header ("TALMTIX" and a line break, the version, flags for FASTQ and
// BGZF, the file's size and modification time, the number of records, the size of the names,
// the size of the text), the entries sorted by name, then the names. Little-endian throughout.
void write_tix(io::OutputFile& output, const TixFacts& facts, const RecordTableBuilder& table);

// A .tix mapped for lookups.
class TixFile {
public:
    // The table, or why it cannot be used (damaged, or of another version).
    static std::optional<TixFile> open(const std::string& path, std::string& why_not);

    const TixFacts& facts() const { return facts_; }
    RecordTable table() const;

private:
    TixFile(io::MappedFile file, TixFacts facts) : file_(std::move(file)), facts_(facts) {}
    io::MappedFile file_;
    TixFacts facts_;
};

}  // namespace talmiro
