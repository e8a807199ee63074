#include "orvane/app/index_mode.hpp"

#include "front/index_mode.hpp"
#include "orvane/index/oix_format.hpp"
#include "orvane/index/row_scanning.hpp"

namespace orvane {

namespace {

constexpr session::CountKind rows_indexed{"rows indexed", {}, {}};

// Only a plain matrix is read from the middle; a pairs file is refused once its layout is known.
std::optional<std::string> why_not_indexable(io::Storage storage) {
    if (storage != io::Storage::plain) {
        return "a compressed matrix cannot be read from the middle: only a plain file can have an index";
    }
    return std::nullopt;
}

void index_file(session::Front& front, const std::string& path, std::optional<Layout> named) {
    indexing::Indexable indexable = session::open_to_index_or_abort(path, why_not_indexable);
    indexing::ContentSum content(path, indexable.stamp);
    RowIndex index;
    if (const auto unindexable = scan_rows(io::ReadBuffer(std::move(indexable.file)), named, index)) {
        session::raise_unreadable(*unindexable);
    }
    indexing::IndexHeader identity;
    if (const auto changed =
            indexing::identify(path, indexable.stamp, content, std::chrono::system_clock::now(), identity)) {
        session::raise_unreadable(*changed);
    }
    io::OutputFile output = front.create_named_output(path + std::string(oix_suffix));
    write_oix(output, identity, index);
    session::close_outputs({&output});
    std::size_t rows = 0;
    for (const IndexedDataSet& set : index.data_sets) {
        rows += set.rows.size();
    }
    front.show_count(rows_indexed, static_cast<std::int64_t>(rows));
}

}  // namespace

session::Outcome build_row_indexes(session::Front& front, const std::vector<std::string>& files,
                                   std::optional<Layout> named) {
    return session::index_each(files, [&](const std::string& path) { index_file(front, path, named); });
}

}  // namespace orvane
