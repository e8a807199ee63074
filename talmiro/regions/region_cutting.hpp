// Cutting regions out of a record as its bytes stream past, and writing each as samtools
// writes a region. A record's bases are its sequence lines' bytes without their line breaks
// ("\n", or "\r\n"); a FASTQ record's qualities likewise.
#pragma once

#include "talmiro/records/record_scanner.hpp"
#include "talmiro/regions/region.hpp"

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace talmiro {

// What one region of a record holds once the record has passed.
struct RegionCut {
    std::string bases;
    std::string qualities;  // FASTQ
};

// A sink for one record at a time: the bases (and qualities) of each of `regions` collected,
// in any order of the regions, however long the record; a FASTA record is never held whole.
class RegionCutter final : public RecordSink {
public:
    // The regions cut from the next record; they must outlive its reading.
    void start(RecordFormat format, std::span<const Region* const> regions);
    void begin_record(std::int64_t) override {}
    void add(std::string_view piece) override;
    void end_record() override;

    // Once the record has ended: its number of bases, and each region's cut, in start()'s order.
    std::uint64_t bases() const { return position_; }
    std::vector<RegionCut>& cuts() { return cuts_; }

private:
    void take_sequence(std::string_view line);
    void finish_fastq();

    RecordFormat format_ = RecordFormat::fasta;
    std::span<const Region* const> regions_;
    std::vector<RegionCut> cuts_;
    std::vector<std::size_t> by_begin_;  // regions in order of their first base
    std::size_t next_ = 0;               // the next of by_begin_ to become active
    std::vector<std::size_t> active_;    // regions holding the bases being read
    bool in_header_ = true;
    bool return_pending_ = false;  // a piece ended in '\r': it is a base unless '\n' follows
    std::uint64_t position_ = 0;
    std::string fastq_;  // a FASTQ record's bytes after its header line, cut when it ends
};

// Cuts [begin, end) of a record's bases, as many as there are: the part of the region the
// record holds.
std::string_view clipped(std::string_view bases, std::uint64_t begin, std::uint64_t end);

// The reverse complement, IUPAC codes and case kept as samtools turns them (U to A; codes
// without a complement, and any other byte, as they are).
void reverse_complement(std::string& bases);

// `region`'s record as samtools writes one: ">HEADER" then the bases in lines of `width`
// (0: one line), or for FASTQ "@HEADER", the bases, "+" and the qualities, both wrapped; the
// reverse complement (qualities reversed) where the region asks. Appended to `into` without its
// first '>' or '@'.
void write_region(const Region& region, RecordFormat format, RegionCut& cut, std::uint32_t width, std::string& into);

}  // namespace talmiro
