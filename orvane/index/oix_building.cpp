#include "orvane/index/oix_building.hpp"

#include "front/index_mode.hpp"
#include "io/line_reader.hpp"
#include "io/random_access.hpp"
#include "orvane/formats/layout_choice.hpp"
#include "orvane/readers/square_reading.hpp"
#include "orvane/index/oix_format.hpp"
#include "orvane/readers/table_reading.hpp"
#include "text/quoting.hpp"

#include <climits>

namespace orvane {

namespace {

using session::Abort;
using session::Failure;

constexpr session::CountKind rows_indexed{"rows indexed", {}, {}};

[[noreturn]] void refuse(const std::string& path, const std::string& why) {
    throw Abort{Failure::unreadable_input, text::file_label(path, false) + ": " + why};
}

[[noreturn]] void raise(const io::IoError& error) { throw Abort{Failure::unreadable_input, error.describe()}; }

// Square matrices and lower triangles, one data set after another.
void index_data_sets(TokenReader& matrix, const Detection& detection, RowIndex& index) {
    matrix.skip_byte_order_mark();
    std::string token(matrix.take_token());
    // A square matrix's values are read as a cut reads them, so that later cuts may pass over
    // the columns nobody lists.
    index.values_checked = detection.layout == Layout::square;
    std::vector<double> values;
    for (std::uint32_t number = 1; !token.empty(); ++number) {
        IndexedDataSet& set = index.data_sets.emplace_back();
        if (const auto unreadable = order_in_token(token, matrix, set.order)) {
            raise(*unreadable);
        }
        if (set.order < 0) {
            raise(io::IoError::bad_content(matrix.input().name(), "the matrix order " + token + " is negative"));
        }
        for (std::int32_t row = 0; row < set.order; ++row) {
            const std::uint64_t count = detection.layout == Layout::lower
                                            ? static_cast<std::uint64_t>(row) + (detection.with_diagonal ? 1 : 0)
                                            : static_cast<std::uint64_t>(set.order);
            const std::uint64_t offset = matrix.input().file_offset(matrix.cursor());
            std::string name(matrix.take_token());
            bool whole = !matrix.failed();
            if (whole && index.values_checked) {
                values.resize(static_cast<std::size_t>(set.order));
                const std::size_t cursor = matrix.cursor();
                if (!matrix.read_numbers(values.data(), values.size(), TokenReader::Glued::refused)) {
                    // Not every value is a number: cuts then read each listed row whole.
                    index.values_checked = false;
                    matrix.return_to(cursor);
                    whole = matrix.skip_tokens(count);
                }
            } else if (whole) {
                whole = matrix.skip_tokens(count);
            }
            if (!whole) {
                if (matrix.stop() == TokenReader::Stop::read_error) {
                    raise(*matrix.input().error());
                }
                raise(io::IoError::bad_content(
                    matrix.input().name(), (number > 1 ? "data set " + std::to_string(number) + ": " : std::string()) +
                                               "the file ends in row " + std::to_string(row + 1) + " of " +
                                               std::to_string(set.order)));
            }
            set.rows.push_back({offset, std::move(name)});
        }
        set.end = matrix.input().file_offset(matrix.cursor());
        if (const auto unreadable = take_next_order(matrix, number, token)) {
            raise(*unreadable);
        }
    }
    if (index.data_sets.empty()) {
        raise(io::IoError::bad_content(matrix.input().name(), "no matrix order: the file is empty"));
    }
}

void index_table(io::LineReader& table, Layout layout, RowIndex& index) {
    table.window().copy_from_here();
    TableHeader header;
    std::string first_row;
    if (const auto unreadable = read_table_header(table, layout, header, first_row)) {
        raise(*unreadable);
    }
    IndexedDataSet& set = index.data_sets.emplace_back();
    set.order = static_cast<std::int32_t>(std::min<std::size_t>(header.names.size(), INT32_MAX));
    std::size_t row = 0;
    const auto unreadable = list_table_rows(
        table, layout, header, std::move(first_row),
        [&](std::uint64_t offset, std::uint64_t) { set.rows.push_back({offset, header.names[row++]}); }, set.end);
    if (unreadable) {
        raise(*unreadable);
    }
}

// Only a plain matrix is read from the middle; a pairs file is refused once its layout is known.
std::optional<std::string> why_not_indexable(io::Storage storage) {
    if (storage != io::Storage::plain) {
        return "a compressed matrix cannot be read from the middle: only a plain file can have an index";
    }
    return std::nullopt;
}

void index_file(session::Front& front, const std::string& path, std::optional<Layout> named) {
    indexing::Indexable indexable = session::open_to_index_or_abort(path, why_not_indexable);
    const io::FileStamp stamp = indexable.stamp;
    io::InputFile file = std::move(indexable.file);
    RowIndex index;
    index.stamp = stamp;
    io::ReadBuffer input(std::move(file));
    const Detection detection = choose_layout(input, named);
    index.layout = *detection.layout;
    index.with_diagonal = detection.with_diagonal;
    if (index.layout == Layout::pairs) {
        refuse(path, "a pairs file has no rows to find: it is read whole each time, and has no index");
    }
    // Every byte is read once, in order: copied windows cost less than the mapping's page walks.
    // A square matrix's values are read on the mapping, as a row that is no numbers is read
    // again from its start.
    if (index.layout != Layout::square) {
        input.copy_from_here();
    }
    if (holds_data_sets(index.layout)) {
        TokenReader matrix(std::move(input));
        index_data_sets(matrix, detection, index);
        session::check_read_whole(front, matrix.input());
    } else {
        io::LineReader table(std::move(input));
        index_table(table, index.layout, index);
        session::check_read_whole(front, table.input());
    }
    if (const auto changed = indexing::changed_since(path, stamp)) {
        raise(*changed);
    }
    io::OutputFile output = front.create_named_output(path + std::string(oix_suffix));
    output.write(oix_bytes(index));
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
