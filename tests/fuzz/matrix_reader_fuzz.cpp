// The matrix reader against stream extraction, read the way a matrix is read: the order, then
// rows of a name and distances, each row converted or skipped.
#include "fuzz_support.hpp"
#include "orvane/parse/token_reader.hpp"

#include <cstring>
#include <sstream>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const fuzzing::FuzzedFile input(data, size);
    const std::string& text = input.text();
    auto reader = input.open_reader<orvane::TokenReader>();
    std::istringstream stream(text);

    std::int32_t order = 0;
    int expected_order = 0;
    const bool read = reader.read_int32(order);
    fuzzing::require(read == static_cast<bool>(stream >> expected_order), "the order reads alike");
    if (!read) {
        return 0;
    }
    fuzzing::require(order == expected_order, "the same order");
    const int columns = std::min(order, 40);
    for (int row = 0; row < std::min(order, 40); ++row) {
        std::string expected_name;
        const std::string name(reader.take_token());
        const bool named = static_cast<bool>(stream >> expected_name);
        fuzzing::require(named == !reader.failed(), "a row name reads alike");
        if (!named) {
            return 0;
        }
        fuzzing::require(name == expected_name, "the same row name");
        if (name.size() % 2 == 0) {
            for (int column = 0; column < columns; ++column) {
                float value = 0;
                float expected = 0;
                const bool converted = reader.read_float(value);
                fuzzing::require(converted == static_cast<bool>(stream >> expected), "a distance reads alike");
                if (!converted) {
                    return 0;
                }
                fuzzing::require(std::memcmp(&value, &expected, sizeof value) == 0, "the same distance");
            }
        } else {
            bool skipped = true;
            std::string token;
            for (int column = 0; column < columns && skipped; ++column) {
                skipped = static_cast<bool>(stream >> token);
            }
            fuzzing::require(reader.skip_tokens(static_cast<std::uint64_t>(columns)) == skipped, "a row skips alike");
            if (!skipped) {
                return 0;
            }
        }
    }
    return 0;
}
