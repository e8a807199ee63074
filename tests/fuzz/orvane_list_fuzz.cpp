// orvane's list reading against stream extraction of words.
#include "fuzz_support.hpp"
#include "orvane/readers/square_reading.hpp"

#include <sstream>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const fuzzing::FuzzedFile input(data, size);
    const std::string& text = input.text();
    auto reader = input.open_reader<orvane::TokenReader>();
    const text::NameList ids = orvane::read_id_tokens(reader);

    // A byte order mark before the first word is no part of it.
    std::istringstream stream(text.starts_with("\xEF\xBB\xBF") ? text.substr(3) : text);
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
