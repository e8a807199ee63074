// The one little-endian codec of every index file: numbers of fixed width and texts that carry
// their length, written in order and read back in order.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <type_traits>

namespace indexing {

// Appends to `bytes`.
class ByteWriter {
public:
    explicit ByteWriter(std::string& bytes) : bytes_(bytes) {}

    template <typename Number>
    void put(Number value) {
        static_assert(std::is_integral_v<Number>);
        const auto bits = static_cast<std::uint64_t>(value);
        for (std::size_t index = 0; index < sizeof(Number); ++index) {
            bytes_.push_back(static_cast<char>((bits >> (8 * index)) & 0xff));
        }
    }
    // Its length (32 bits), then its bytes.
    void put_text(std::string_view text) {
        put(static_cast<std::uint32_t>(text.size()));
        bytes_.append(text);
    }
    void put_bytes(std::string_view raw) { bytes_.append(raw); }

private:
    std::string& bytes_;
};

// Reads in order; once anything is missing every later read fails too and gives zeros, so a
// parser reads on and looks at good() once.
class ByteReader {
public:
    explicit ByteReader(std::string_view bytes) : bytes_(bytes) {}

    template <typename Number>
    Number take() {
        static_assert(std::is_integral_v<Number>);
        if (!good_ || bytes_.size() - at_ < sizeof(Number)) {
            good_ = false;
            return 0;
        }
        std::uint64_t value = 0;
        for (std::size_t index = sizeof(Number); index-- > 0;) {
            value = (value << 8) | static_cast<unsigned char>(bytes_[at_ + index]);
        }
        at_ += sizeof(Number);
        return static_cast<Number>(value);
    }
    std::string_view take_text() { return take_bytes(take<std::uint32_t>()); }
    std::string_view take_bytes(std::size_t length) {
        if (!good_ || bytes_.size() - at_ < length) {
            good_ = false;
            return {};
        }
        const std::string_view taken = bytes_.substr(at_, length);
        at_ += length;
        return taken;
    }
    bool good() const { return good_; }
    bool at_end() const { return at_ == bytes_.size(); }
    std::size_t position() const { return at_; }
    std::size_t left() const { return bytes_.size() - at_; }

private:
    std::string_view bytes_;
    std::size_t at_ = 0;
    bool good_ = true;
};

}  // namespace indexing
