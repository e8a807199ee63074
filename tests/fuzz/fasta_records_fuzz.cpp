// talmiro's record reading, FASTA or FASTQ as the text's first record says, and name matching
// against the straightforward reading: every name receives exactly the records, byte for byte,
// that the reference gives it, and a malformed FASTQ record ends the records where the
// reference says.
#include "fuzz_support.hpp"
#include "support/reference.hpp"
#include "support/talmiro_reading.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzzing::Pieces parts(data, size);
    const std::uint8_t choice = parts.take_byte();
    const std::string list = parts.take_part();
    const std::string text = fuzzing::as_plain_text(parts.take_rest());
    const std::vector<std::string> names = testing_support::reference_list_lines(list);

    const fuzzing::MemoryFile file(text);
    const testing_support::TalmiroReading got = testing_support::read_as_talmiro(
        io::ReadBuffer(file.open(), fuzzing::buffer_size_for(choice), fuzzing::access_for(choice)), names, {},
        choice % 2 == 0 ? 64 : 1 << 20);
    if (testing_support::reference_is_fastq(text)) {
        const testing_support::FastqReference expected = testing_support::reference_fastq_records(text, names);
        fuzzing::require(got.malformed == expected.malformed, "a malformed record is found where it is");
        fuzzing::require(got.texts == expected.texts, "each name takes exactly its FASTQ records, as read");
        return 0;
    }
    const auto expected = testing_support::reference_records(text, names);
    for (std::size_t position = 0; position < names.size(); ++position) {
        std::string records;
        for (const std::string& record : expected[position]) {
            records += record;
        }
        fuzzing::require(got.texts[position] == records, "each name takes exactly its records, as read");
    }
    return 0;
}
