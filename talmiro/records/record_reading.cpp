#include "talmiro/records/record_reading.hpp"

#include <algorithm>
#include <string>

namespace talmiro {

std::uint64_t read_records(RecordScanner& records, const NameSelector& selector, bool exclude, RecordSink& sink,
                           std::vector<std::uint64_t>& taken, const io::Progress& progress, std::size_t list_count,
                           MateCheck* mates, std::size_t nth) {
    progress.begin();
    std::int64_t matches = 0;
    // Matching needs no more of a header than the longest name and a few bytes past it: a
    // longer header is read whole only when its record is written. Mates are told by their
    // first words, up to a length no read's name reaches.
    constexpr std::size_t mate_word_bytes = 1024;
    const std::size_t most =
        mates != nullptr ? std::max(selector.header_bytes(), mate_word_bytes) : selector.header_bytes();
    std::string scratch;
    HeaderLine header;
    std::uint64_t handed = 0;
    while (records.next(most, header)) {
        if (mates != nullptr && !mates->add(nth, first_word(header.text))) {
            break;
        }
        const std::int64_t slot = selector.slot_for(header, scratch);
        const bool wanted = (slot >= 0) != exclude;
        if (wanted) {
            sink.begin_record(slot);
            records.take(sink);
        } else {
            records.skip();
        }
        if (records.malformed()) {
            break;  // not taken
        }
        handed += wanted ? 1 : 0;
        if (slot < 0) {
            continue;  // a malformed record is not taken
        }
        ++taken[static_cast<std::size_t>(slot)];
        ++matches;
        progress.step(io::percentage(matches, static_cast<std::int64_t>(list_count)));
    }
    return handed;
}

}  // namespace talmiro
