#include "talmiro/records/record_scanner.hpp"

#include "talmiro/records/fasta_records.hpp"
#include "talmiro/records/fastq_records.hpp"

namespace talmiro {

namespace {

// Whether the first thing after blank lines is a line beginning with '@'. Looks no further than
// a megabyte of blanks: a FASTA reading passes over them as well.
bool starts_with_fastq_record(io::ReadBuffer& input) {
    constexpr std::size_t furthest = std::size_t{1} << 20;
    for (std::size_t wanted = 256;; wanted *= 2) {
        const std::string_view start = input.peek(wanted);
        const std::size_t first = start.find_first_not_of(" \t\r\n");
        if (first != std::string_view::npos) {
            return start[first] == '@' && (first == 0 || start[first - 1] == '\n');
        }
        if (start.size() < wanted || wanted >= furthest) {
            return false;
        }
    }
}

}  // namespace

std::unique_ptr<RecordScanner> scan_records(io::ReadBuffer input, Checks checks) {
    input.skip_byte_order_mark();
    if (starts_with_fastq_record(input)) {
        // Lines of a hundred bytes: on virtual machines the mapping's page walks cost more than
        // copying them does (twice the time of the scan).
        input.copy_from_here();
        return std::make_unique<FastqScanner>(std::move(input), checks);
    }
    return std::make_unique<FastaScanner>(std::move(input), checks);
}

}  // namespace talmiro
