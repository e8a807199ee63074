#include "orvane/index/oix_format.hpp"

#include "index/index_header.hpp"

namespace orvane {

namespace {

constexpr indexing::IndexKind oix_kind{"ORVANOIX", 1, "orvane"};
constexpr std::uint32_t flag_with_diagonal = 1;
constexpr std::uint32_t flag_values_checked = 2;

}  // namespace

std::string oix_bytes(const RowIndex& index) {
    std::string bytes;
    indexing::ByteWriter writer(bytes);
    const std::uint32_t flags =
        (index.with_diagonal ? flag_with_diagonal : 0u) | (index.values_checked ? flag_values_checked : 0u);
    indexing::write_header(writer, oix_kind, {flags, index.stamp});
    writer.put_text(layout_names[static_cast<std::size_t>(index.layout)]);
    writer.put(static_cast<std::uint32_t>(index.data_sets.size()));
    for (const IndexedDataSet& set : index.data_sets) {
        writer.put(set.order);
        writer.put(set.end);
        for (const IndexedRow& row : set.rows) {
            writer.put(row.offset);
            writer.put_text(row.name);
        }
    }
    return bytes;
}

std::optional<RowIndex> parse_oix(std::string_view bytes, std::string& why_not) {
    indexing::ByteReader cursor(bytes);
    const std::optional<indexing::IndexHeader> header = indexing::read_header(cursor, oix_kind, why_not);
    if (!header) {
        return std::nullopt;
    }
    RowIndex index;
    index.with_diagonal = (header->flags & flag_with_diagonal) != 0;
    index.values_checked = (header->flags & flag_values_checked) != 0;
    index.stamp = header->stamp;
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
