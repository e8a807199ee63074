// talmiro's record reading and name matching against the straightforward reading: every name
// receives exactly the records, byte for byte, that the reference gives it.
#include "talmiro/fasta_reading.hpp"
#include "fuzz_support.hpp"
#include "support/reference.hpp"

#include <sstream>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzzing::Parts parts(data, size);
    const std::uint8_t choice = parts.take_byte();
    const std::string list = parts.take_part();
    const std::string fasta = fuzzing::as_plain_text(parts.take_rest());
    const std::vector<std::string> names = testing_support::reference_list_lines(list);

    text::NameList listed;
    for (const std::string& name : names) {
        listed.add(name);
    }
    talmiro::NameTable table(std::move(listed));
    const fuzzing::MemoryFile file(fasta);
    io::LineReader reader(file.open(), fuzzing::buffer_size_for(choice), fuzzing::access_for(choice));
    console::Meter silent;
    talmiro::read_fasta_records(reader, table, silent);

    const auto expected = testing_support::reference_records(fasta, names);
    for (std::size_t position = 0; position < names.size(); ++position) {
        std::vector<std::string> got;
        table.for_each_record_at(position, [&](std::string_view record) { got.emplace_back(record); });
        fuzzing::require(got == expected[position], "each name takes exactly its records, as read");
    }
    return 0;
}
