#include "orvane/index/oix_format.hpp"

#include <cstring>

namespace orvane {

namespace {

constexpr std::string_view oix_magic = "ORVANOIX";
constexpr std::uint32_t oix_version = 1;
constexpr std::uint32_t flag_with_diagonal = 1;
constexpr std::uint32_t flag_values_checked = 2;

template <typename Number>
void put(std::string& bytes, Number value) {
    for (std::size_t index = 0; index < sizeof(Number); ++index) {
        bytes.push_back(static_cast<char>((static_cast<std::uint64_t>(value) >> (8 * index)) & 0xff));
    }
}

void put_text(std::string& bytes, std::string_view text) {
    put(bytes, static_cast<std::uint32_t>(text.size()));
    bytes.append(text);
}

// Reads the bytes in order; once anything is missing every later read fails too.
class Cursor {
public:
    explicit Cursor(std::string_view bytes) : bytes_(bytes) {}
    template <typename Number>
    Number take() {
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
    std::string_view take_text() {
        const auto length = take<std::uint32_t>();
        if (!good_ || bytes_.size() - at_ < length) {
            good_ = false;
            return {};
        }
        const std::string_view text = bytes_.substr(at_, length);
        at_ += length;
        return text;
    }
    bool good() const { return good_; }
    bool at_end() const { return at_ == bytes_.size(); }

private:
    std::string_view bytes_;
    std::size_t at_ = 0;
    bool good_ = true;
};

}  // namespace

std::string oix_bytes(const RowIndex& index) {
    std::string bytes(oix_magic);
    put(bytes, oix_version);
    put(bytes, (index.with_diagonal ? flag_with_diagonal : 0u) | (index.values_checked ? flag_values_checked : 0u));
    put(bytes, index.stamp.size);
    put(bytes, index.stamp.seconds);
    put(bytes, index.stamp.nanoseconds);
    put_text(bytes, layout_names[static_cast<std::size_t>(index.layout)]);
    put(bytes, static_cast<std::uint32_t>(index.data_sets.size()));
    for (const IndexedDataSet& set : index.data_sets) {
        put(bytes, set.order);
        put(bytes, set.end);
        for (const IndexedRow& row : set.rows) {
            put(bytes, row.offset);
            put_text(bytes, row.name);
        }
    }
    return bytes;
}

std::optional<RowIndex> parse_oix(std::string_view bytes, std::string& why_not) {
    if (!bytes.starts_with(oix_magic)) {
        why_not = "it is no orvane index";
        return std::nullopt;
    }
    Cursor cursor(bytes.substr(oix_magic.size()));
    const auto version = cursor.take<std::uint32_t>();
    if (cursor.good() && version != oix_version) {
        why_not = "it is of version " + std::to_string(version) + ", this orvane reads version " +
                  std::to_string(oix_version);
        return std::nullopt;
    }
    RowIndex index;
    const auto flags = cursor.take<std::uint32_t>();
    index.with_diagonal = (flags & flag_with_diagonal) != 0;
    index.values_checked = (flags & flag_values_checked) != 0;
    index.stamp.size = cursor.take<std::uint64_t>();
    index.stamp.seconds = cursor.take<std::int64_t>();
    index.stamp.nanoseconds = cursor.take<std::int64_t>();
    const std::optional<Layout> layout = layout_named(cursor.take_text());
    const auto data_sets = cursor.take<std::uint32_t>();
    for (std::uint32_t number = 0; cursor.good() && number < data_sets; ++number) {
        IndexedDataSet& set = index.data_sets.emplace_back();
        set.order = cursor.take<std::int32_t>();
        set.end = cursor.take<std::uint64_t>();
        // Each row takes at least 12 bytes: an order past what the bytes can hold is damage.
        if (set.order < 0 || static_cast<std::uint64_t>(set.order) > bytes.size() / 12) {
            why_not = "it is damaged";
            return std::nullopt;
        }
        set.rows.reserve(static_cast<std::size_t>(set.order));
        for (std::int32_t row = 0; cursor.good() && row < set.order; ++row) {
            const auto offset = cursor.take<std::uint64_t>();
            set.rows.push_back({offset, std::string(cursor.take_text())});
        }
    }
    if (!cursor.good() || !cursor.at_end() || !layout || index.data_sets.size() != data_sets) {
        why_not = "it is damaged";
        return std::nullopt;
    }
    index.layout = *layout;
    return index;
}

}  // namespace orvane
