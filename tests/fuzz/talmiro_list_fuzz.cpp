// talmiro's list reading against the straightforward line split.
#include "fuzz_support.hpp"
#include "io/name_lines.hpp"
#include "support/reference.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const fuzzing::FuzzedFile input(data, size);
    const std::string& text = input.text();
    auto reader = input.open_reader<io::LineReader>();
    const text::NameList names = io::read_name_lines(reader);
    const std::vector<std::string> expected = testing_support::reference_list_lines(text);
    fuzzing::require(names.count() == expected.size() && names.size() == expected.size(), "every non-empty line");
    for (std::size_t position = 0; position < expected.size(); ++position) {
        fuzzing::require(names.name(position) == expected[position], "each name whole, in list order");
    }
    return 0;
}
