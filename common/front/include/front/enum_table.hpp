// A table of one value per enumerator that cannot drift from its enum: the entries are given
// with their keys, and a table that misses a key, repeats one or takes them out of order does
// not compile. The enum ends with `count`, which is no kind of its own.
#pragma once

#include <array>
#include <cstddef>
#include <initializer_list>

namespace session {

template <typename Enum, typename Value>
class EnumTable {
public:
    static constexpr std::size_t size = static_cast<std::size_t>(Enum::count);

    struct Entry {
        Enum key;
        Value value;
    };

    consteval EnumTable(std::initializer_list<Entry> entries) {
        if (entries.size() != size) {
            throw "an EnumTable needs one entry for every enumerator";  // stops the compilation
        }
        std::size_t index = 0;
        for (const Entry& entry : entries) {
            if (static_cast<std::size_t>(entry.key) != index) {
                throw "an EnumTable's entries go in the enum's order, each once";
            }
            values_[index++] = entry.value;
        }
    }

    constexpr const Value& operator[](Enum key) const { return values_[static_cast<std::size_t>(key)]; }

private:
    std::array<Value, size> values_{};
};

}  // namespace session
