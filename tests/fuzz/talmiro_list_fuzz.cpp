// talmiro's list reading against the straightforward line split.
#include "fasta_reading.hpp"
#include "fuzz_support.hpp"
#include "support/reference.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzzing::Parts parts(data, size);
    const std::uint8_t choice = parts.take_byte();
    const std::string text = parts.take_rest();
    const fuzzing::MemoryFile file(text);
    talmiro::LineReader reader(file.open(), fuzzing::buffer_size_for(choice), fuzzing::access_for(choice));
    const console::NameList names = talmiro::count_list_lines(reader);
    const std::vector<std::string> expected = testing_support::reference_list_lines(text);
    fuzzing::require(names.count() == expected.size() && names.size() == expected.size(), "every non-empty line");
    for (std::size_t position = 0; position < expected.size(); ++position) {
        fuzzing::require(names.name(position) == expected[position], "each name whole, in list order");
    }
    return 0;
}
