// The record table an index gives: every record's place and name (its header's first word) in
// file order, and the records in sorted order of their names, so that a name, or every name
// beginning with a text, is found by a binary search whatever the number of records; and, for
// FASTA, each record's line geometry, so that any base of it is found without reading its
// lines. Held by our own .tix file, looked up in place through a mapping and checked block by
// block as it is read; or built in memory by a scan.
#pragma once

#include "index/index_file.hpp"
#include "talmiro/match/name_selection.hpp"
#include "talmiro/storage/large_arrays.hpp"

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <utility>

namespace talmiro {

// One record, in file order: where it begins in the text (its '>' or '@'; it reaches to where
// the next begins, or to the end of the text) and where its name begins among the names (it
// reaches to where the next record's begins).
struct RecordPlace {
    std::uint64_t offset;
    std::uint64_t name_start;
};
static_assert(sizeof(RecordPlace) == 16);

// A long FASTA record's lines (of 64 KiB or more: a shorter record is read whole to find a base
// in it): as a .fai gives them where every line but the last is alike, and otherwise as runs of
// alike lines in the table of runs. Sorted by record.
inline constexpr std::uint64_t geometry_from = std::uint64_t{64} << 10;
struct LineGeometry {
    std::uint64_t record;          // its number, in file order
    std::uint64_t bases;           // the sequence's length
    std::uint64_t first_run;       // where its runs begin, for lines that differ
    std::uint32_t sequence_start;  // from the record's first byte; none_known where too far
    std::uint32_t line_bases;      // of each line but the last; 0 where the lines differ
    std::uint32_t line_width;      // the same with its line break
    std::uint32_t run_count;       // 0 where the lines are alike
    static constexpr std::uint32_t none_known = 0xffffffff;
};
static_assert(sizeof(LineGeometry) == 40);

// Lines alike, one after another: the first's first base (in the sequence) and first byte
// (from the sequence's start), and what each holds; they reach to where the next run begins.
struct LineRun {
    std::uint64_t first_base;
    std::uint64_t first_byte;
    std::uint32_t line_bases;
    std::uint32_t line_width;
};
static_assert(sizeof(LineRun) == 24);

// The name an index gives a record: its header's first word, as samtools names the records of
// a .fai (white space at the start passed over).
std::string_view index_name(std::string_view header);

// A record's place in name order: the 8 bytes of its name after the beginning every name
// shares, the first most significant and zeros past its end, so that most steps of a lookup
// compare these alone; and the record's number.
struct SortedRecord {
    std::uint64_t key;
    std::uint64_t record;
};
static_assert(sizeof(SortedRecord) == 16);

// A record located by name.
struct LocatedRecord {
    std::uint64_t number;  // in file order
    std::uint64_t offset;
    std::uint64_t length;
};

// A sorted table and the names its records point into. Where it lies in an index file, every
// byte is checked before it is read; a table that contradicts itself throws Untrusted.
class RecordTable {
public:
    struct Parts {
        std::span<const RecordPlace> places;
        std::span<const SortedRecord> sorted;
        std::string_view names;
        std::uint64_t text_size = 0;
        std::uint64_t shared = 0;  // how many leading bytes every name shares
    };
    explicit RecordTable(Parts parts, const indexing::IndexFile* file = nullptr) : parts_(parts), file_(file) {}

    std::size_t size() const { return parts_.places.size(); }
    // The records named `name`, as positions [first, last) in name order.
    std::pair<std::size_t, std::size_t> named(std::string_view name) const;
    // The records whose names begin with `prefix`, the same way.
    std::pair<std::size_t, std::size_t> beginning_with(std::string_view prefix) const;
    // The record at `position` in name order.
    LocatedRecord at(std::size_t position) const;
    std::string_view name_of(std::uint64_t record) const;

private:
    void check(const void* start, std::size_t length) const;
    [[noreturn]] void damaged(const std::string& what) const;
    const SortedRecord& sorted_at(std::size_t position) const;
    const RecordPlace& place(std::uint64_t record) const;
    // Where `wanted` stands against the beginning every name shares (`length` bytes of it):
    // before all names, after them, or among them (0).
    int against_shared(std::string_view wanted, std::size_t length) const;
    // The first position whose name is not less than `name` (or, `after`, greater).
    std::size_t bound(std::string_view name, std::uint64_t key, bool after) const;

    Parts parts_;
    const indexing::IndexFile* file_;
};

// The table gathered in memory as a scan finds the records, sorted once all are in: by name,
// then by place.
class RecordTableBuilder {
public:
    // Room for about this many records and bytes of names, so that the arrays need not grow by
    // copying (a guess: more are taken all the same).
    void expect(std::size_t records, std::size_t name_bytes);
    void add(std::string_view name, std::uint64_t offset);
    // The last record's lines (FASTA): `runs` where they differ. Kept for records of
    // geometry_from bytes or more (`length`) alone.
    void add_geometry(LineGeometry geometry, std::span<const LineRun> runs, std::uint64_t length);
    // Puts the records in name order, for lookups in memory.
    void sort();
    // Hands the records to `use` in name order, a stretch at a time, without keeping them:
    // writing a table needs no second sorted array.
    void in_order(const std::function<void(std::span<const SortedRecord>)>& use) const;
    // How many leading bytes every name shares.
    std::size_t shared() const;
    // Lookups, once sorted.
    RecordTable view(std::uint64_t text_size) const;

    std::span<const RecordPlace> places() const { return places_; }
    std::string_view names() const { return names_; }
    std::span<const LineGeometry> geometry() const { return geometry_; }
    std::span<const LineRun> runs() const { return runs_; }
    std::string_view name_of(std::uint64_t record) const;

private:
    LargeVector<SortedRecord> sorted_places() const;

    LargeVector<RecordPlace> places_;
    LargeString names_;
    LargeVector<LineGeometry> geometry_;
    LargeVector<LineRun> runs_;
    LargeVector<SortedRecord> sorted_;
    std::size_t shared_ = 0;
};

}  // namespace talmiro
