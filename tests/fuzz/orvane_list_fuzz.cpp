// orvane's list reading against stream extraction of words.
#include "fuzz_support.hpp"
#include "matrix_reading.hpp"

#include <sstream>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzzing::Parts parts(data, size);
    const std::uint8_t choice = parts.take_byte();
    const std::string text = parts.take_rest();
    const fuzzing::MemoryFile file(text);
    orvane::TokenReader reader(file.open(), fuzzing::buffer_size_for(choice), fuzzing::access_for(choice));
    const console::NameList ids = orvane::count_list_entries(reader);

    std::istringstream stream(text);
    std::vector<std::string> expected;
    for (std::string word; stream >> word;) {
        expected.push_back(word);
    }
    fuzzing::require(ids.count() == expected.size() && ids.size() == expected.size(), "every word is an ID");
    for (std::size_t position = 0; position < expected.size(); ++position) {
        fuzzing::require(ids.name(position) == expected[position], "each ID whole, in list order");
    }
    return 0;
}
