#include "orvane/index/oix_format.hpp"

namespace orvane {

namespace {

constexpr indexing::IndexKind oix_kind{"ORVANOIX", 2, "orvane", 0};
constexpr std::uint32_t flag_with_diagonal = 1;
constexpr std::uint32_t flag_values_checked = 2;
constexpr std::uint32_t flag_names_to_tabs = 4;
constexpr std::uint32_t flag_phylip_names = 8;

std::string body_bytes(const RowIndex& index) {
    std::string bytes;
    indexing::ByteWriter writer(bytes);
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

}  // namespace

void write_oix(io::OutputFile& output, const indexing::IndexHeader& identity, const RowIndex& index) {
    indexing::IndexHeader header = identity;
    header.flags = (index.with_diagonal ? flag_with_diagonal : 0u) | (index.values_checked ? flag_values_checked : 0u) |
                   (index.names == RowNames::to_tabs ? flag_names_to_tabs : 0u) |
                   (index.names == RowNames::phylip_field ? flag_phylip_names : 0u);
    const std::string body = body_bytes(index);
    header.body_size = body.size();
    indexing::IndexWriter writer(output, oix_kind, header);
    writer.write(body);
    writer.finish();
}

indexing::IndexFile open_oix(const std::string& path) {
    indexing::IndexFile file = indexing::IndexFile::open(path, oix_kind);
    file.check_all();
    return file;
}

RowIndex read_oix(const indexing::IndexFile& file) {
    const std::string_view bytes = file.body();
    const auto damaged = [&] { return indexing::cannot_be_used(file.path(), "it is damaged"); };
    const std::uint32_t flags = file.header().flags;
    if ((flags & ~(flag_with_diagonal | flag_values_checked | flag_names_to_tabs | flag_phylip_names)) != 0 ||
        ((flags & flag_names_to_tabs) != 0 && (flags & flag_phylip_names) != 0)) {
        throw damaged();
    }
    indexing::ByteReader cursor(bytes);
    RowIndex index;
    index.with_diagonal = (flags & flag_with_diagonal) != 0;
    index.values_checked = (flags & flag_values_checked) != 0;
    index.names = (flags & flag_names_to_tabs) != 0  ? RowNames::to_tabs
                  : (flags & flag_phylip_names) != 0 ? RowNames::phylip_field
                                                     : RowNames::tokens;
    const std::optional<Layout> layout = layout_named(cursor.take_text());
    const auto data_sets = cursor.take<std::uint32_t>();
    for (std::uint32_t number = 0; cursor.good() && number < data_sets; ++number) {
        IndexedDataSet& set = index.data_sets.emplace_back();
        set.order = cursor.take<std::int32_t>();
        set.end = cursor.take<std::uint64_t>();
        // Each row takes at least 12 bytes: an order past what the bytes can hold is damage.
        if (set.order < 0 || static_cast<std::uint64_t>(set.order) > bytes.size() / 12) {
            throw damaged();
        }
        set.rows.reserve(static_cast<std::size_t>(set.order));
        for (std::int32_t row = 0; cursor.good() && row < set.order; ++row) {
            const auto offset = cursor.take<std::uint64_t>();
            set.rows.push_back({offset, std::string(cursor.take_text())});
        }
    }
    if (!cursor.good() || !cursor.at_end() || !layout || index.data_sets.size() != data_sets) {
        throw damaged();
    }
    index.layout = *layout;
    return index;
}

}  // namespace orvane
