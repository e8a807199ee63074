// The texts of one row's values, as the input wrote them, so that a cut can write each value
// without ever converting it back (a round trip through a double changes `1.5e-07` and
// `0.0711117` in any fixed number of decimals).
#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace orvane {

// Values one after another in one string, with where each ends: two allocations a row, whatever
// its length, rather than one a value.
class TextRow {
public:
    void clear() {
        text_.clear();
        ends_.clear();
    }
    // Room for `values` values of `bytes` bytes in all, where they are known.
    void reserve(std::size_t values, std::size_t bytes = 0) {
        ends_.reserve(values);
        text_.reserve(bytes);
    }
    // Gives back what growing by appends left over: a cut holds thousands of rows at once.
    void fit() {
        if (text_.capacity() - text_.size() > text_.size() / 8) {
            text_.shrink_to_fit();
        }
    }
    void add(std::string_view value) {
        if (text_.size() + value.size() > std::numeric_limits<std::uint32_t>::max()) {
            throw std::length_error("a row's values hold more than 4 GiB of text");
        }
        text_.append(value);
        ends_.push_back(static_cast<std::uint32_t>(text_.size()));
    }
    // Values not kept (columns a cut does not take) hold their place, empty.
    void skip(std::size_t values) { ends_.insert(ends_.end(), values, static_cast<std::uint32_t>(text_.size())); }

    std::size_t size() const { return ends_.size(); }
    std::string_view value(std::size_t index) const {
        const std::uint32_t begin = index == 0 ? 0 : ends_[index - 1];
        return std::string_view(text_).substr(begin, ends_[index] - begin);
    }

private:
    std::string text_;
    std::vector<std::uint32_t> ends_;
};

}  // namespace orvane
