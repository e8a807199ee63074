// The .tix: talmiro's own index of a FASTA or FASTQ file (plain or BGZF). The common header
// (who the file is, its content's checksum), then these facts: the number of records, the size
// of their names, where the text ends (inflated, for BGZF), how many line geometries (one for
// each FASTA record of 64 KiB or more; a shorter record, or a FASTQ one, is read whole to find
// a base in it) and line runs it holds, the size of its BGZF members, the size and checksum of
// the .fai and .gzi written with it, and how many leading bytes every name shares. The body:
// the records in file order (RecordPlace), in name order (SortedRecord: the key of the 8 bytes
// after the shared beginning, the number), the geometries (LineGeometry), the runs (LineRun),
// the BGZF members (the .gzi's bytes themselves: the .tix's own checked copy, as talmiro never
// reads the .gzi), then the names. Little-endian throughout, read in place.
#pragma once

#include "index/identity.hpp"
#include "index/index_file.hpp"
#include "io/output_file.hpp"
#include "io/random_access.hpp"
#include "talmiro/index/record_table.hpp"
#include "talmiro/records/record_scanner.hpp"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace talmiro {

// The size of the facts in a .tix's header.
inline constexpr std::size_t tix_facts_size = 11 * 8;

// A file written beside the .tix, as the .tix records it.
struct Companion {
    std::uint64_t size = 0;
    std::uint64_t checksum = 0;
};

// What a .tix says of the file it was made for, beside its identity.
struct TixFacts {
    RecordFormat format = RecordFormat::fasta;
    bool bgzf = false;
    std::uint64_t records = 0;
    std::uint64_t text_size = 0;  // where the text ends (inflated, for BGZF)
    std::optional<Companion> fai;
    std::optional<Companion> gzi;
};

// Writes a .tix of `table` (whose records the scan found) and `members`, the .gzi's bytes
// (BGZF's members as samtools writes them; empty for a file of another storage).
void write_tix(io::OutputFile& output, const indexing::IndexHeader& identity, const TixFacts& facts,
               const RecordTableBuilder& table, std::string_view members);

// A .tix mapped for lookups.
class TixFile {
public:
    // Throws Untrusted where it is no .tix of this version, damaged, or contradicts itself.
    static TixFile open(const std::string& path);

    const indexing::IndexFile& file() const { return file_; }
    const TixFacts& facts() const { return facts_; }
    RecordTable table() const;
    // The BGZF members, checked.
    std::vector<io::BgzfMember> members() const;
    // The lines of FASTA record `record` (its number in file order), where the .tix holds them:
    // for records of geometry_from bytes or more whose lines are alike. Nothing otherwise (the
    // record's own lines are then read); a record whose lines differ gives its geometry without
    // its runs, which a caller reads as none known.
    std::optional<LineGeometry> geometry_of(std::uint64_t record) const;

private:
    struct Sections {
        std::uint64_t places = 0, sorted = 0, geometry = 0, runs = 0, members = 0, names = 0, end = 0;
        std::uint64_t geometry_count = 0, run_count = 0, member_bytes = 0, shared = 0;
    };
    TixFile(indexing::IndexFile file, TixFacts facts, Sections sections)
        : file_(std::move(file)), facts_(facts), sections_(sections) {}

    indexing::IndexFile file_;
    TixFacts facts_;
    Sections sections_;
};

}  // namespace talmiro
