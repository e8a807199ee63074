#include "orvane/index/indexed_cutting.hpp"

#include "index/trust.hpp"
#include "io/file_system.hpp"
#include "io/line_reader.hpp"
#include "io/random_access.hpp"
#include "orvane/formats/layout_choice.hpp"
#include "orvane/index/oix_format.hpp"
#include "orvane/parse/token_reader.hpp"
#include "orvane/readers/lower_reading.hpp"
#include "orvane/readers/table_reading.hpp"
#include "text/quoting.hpp"
#include "threads/helper.hpp"

#include <algorithm>
#include <atomic>
#include <exception>
#include <unordered_map>

namespace orvane {

namespace {

// A row is read whole in one window where it fits in this.
constexpr std::size_t largest_row_window = std::size_t{4} << 20;

// A row that cannot be read as a cut reads it: the whole-file read says where and why.
struct RowFault {};

// The .oix beside the file, proved the file's own, its rows where the file has room for them.
RowIndex load_index(const io::InputFile& file, const std::string& index_path, const io::FileStamp& stamp,
                    const indexing::Reporting& reporting) {
    const indexing::IndexFile oix = open_oix(index_path);
    RowIndex index = read_oix(oix);
    indexing::confirm_identity(oix, file, stamp, reporting);
    for (const IndexedDataSet& set : index.data_sets) {
        std::uint64_t last = 0;
        for (const IndexedRow& row : set.rows) {
            if (row.offset < last || row.offset > set.end) {
                throw indexing::cannot_be_used(index_path, "it is damaged (its rows are out of order)");
            }
            last = row.offset;
        }
        if (set.end > stamp.size) {
            throw indexing::made_for_another_version(index_path, file.name());
        }
    }
    return index;
}

// The index and the file disagree: `what` says where.
indexing::Untrusted mismatch(const std::string& index_path, const io::InputFile& file, const std::string& what) {
    return indexing::does_not_match(index_path, file.name(), what);
}

io::ReadBuffer region(const io::InputFile& file, std::uint64_t begin, std::uint64_t end) {
    const auto window = static_cast<std::size_t>(std::clamp<std::uint64_t>(end - begin + 1, 4096, largest_row_window));
    return io::ReadBuffer(io::open_region(file, begin, end, nullptr), window, io::ReadBuffer::Access::copied);
}

// Where row `row` ends: where the next begins, or where the data set's last row ends.
std::uint64_t end_of_row(const IndexedDataSet& set, std::int32_t row) {
    const auto next = static_cast<std::size_t>(row) + 1;
    return next < set.rows.size() ? set.rows[next].offset : set.end;
}

// Each listed ID's row in the data set, in file order; an ID named by two rows is left to the
// whole-file read, which refuses it.
std::vector<std::pair<std::int32_t, std::uint32_t>> locate_rows(const IndexedDataSet& set, const IdTable& ids) {
    std::unordered_map<std::string_view, std::int32_t> row_of;
    row_of.reserve(set.rows.size());
    for (std::size_t row = 0; row < set.rows.size(); ++row) {
        const auto [where, added] = row_of.try_emplace(set.rows[row].name, static_cast<std::int32_t>(row));
        if (!added) {
            where->second = -1;
        }
    }
    std::vector<std::pair<std::int32_t, std::uint32_t>> located;
    const text::NameList& listed = ids.ids();
    for (std::size_t position = 0; position < listed.size(); ++position) {
        const std::uint32_t slot = listed.slot(position);
        if (listed.first_position(slot) != position) {
            continue;
        }
        const auto found = row_of.find(listed.name(position));
        if (found == row_of.end()) {
            continue;
        }
        if (found->second < 0) {
            throw RowFault{};
        }
        located.emplace_back(found->second, slot);
    }
    std::sort(located.begin(), located.end());
    return located;
}

// Of a square row whose values are all numbers, only the cut's columns (in order) converted
// (and their texts kept, in `texts`, when given).
bool read_columns(TokenReader& matrix, const std::vector<std::int32_t>& columns, std::int32_t order, double* values,
                  TextRow* texts) {
    const KeepingTexts keeping(matrix, texts, static_cast<std::size_t>(order));
    std::int32_t next = 0;
    for (const std::int32_t column : columns) {
        if (!matrix.skip_tokens(static_cast<std::uint64_t>(column - next))) {
            return false;
        }
        if (texts != nullptr) {
            texts->skip(static_cast<std::size_t>(column - next));  // columns passed over keep their places
        }
        if (!matrix.read_number(values[column], TokenReader::Glued::refused)) {
            return false;
        }
        next = column + 1;
    }
    return matrix.skip_tokens(static_cast<std::uint64_t>(order - next));
}

// A square or lower row: its name where the index says, its values, and nothing after them.
void read_token_row(const io::InputFile& file, const RowIndex& index, const IndexedDataSet& set, std::int32_t row,
                    const std::function<bool(TokenReader&)>& read_values, const std::string& index_path) {
    const IndexedRow& place = set.rows[static_cast<std::size_t>(row)];
    TokenReader matrix(region(file, place.offset, end_of_row(set, row)));
    matrix.read_names(index.names);
    if (take_row_name(matrix) != place.name || matrix.failed()) {
        throw mismatch(index_path, file,
                       "no row " + text::quoted(place.name) + " at byte " + std::to_string(place.offset));
    }
    if (!read_values(matrix)) {
        throw RowFault{};
    }
    if (!matrix.take_token().empty()) {
        throw mismatch(index_path, file,
                       "row " + text::quoted(place.name) + " at byte " + std::to_string(place.offset) +
                           " holds more than its values");
    }
}

// A square row, where the index says, into its row of the cut (and its texts where kept): only
// the cut's columns converted where the index found every value a number.
void read_square_row(const io::InputFile& file, const RowIndex& index, const IndexedDataSet& set, std::int32_t row,
                     const std::vector<std::int32_t>& columns, double* values, TextRow* texts,
                     const std::string& index_path) {
    read_token_row(
        file, index, set, row,
        [&](TokenReader& matrix) {
            if (!index.values_checked) {
                const KeepingTexts keeping(matrix, texts, static_cast<std::size_t>(set.order));
                return matrix.read_numbers(values, static_cast<std::size_t>(set.order), TokenReader::Glued::refused);
            }
            return read_columns(matrix, columns, set.order, values, texts);
        },
        index_path);
}

// Runs `read_row` for rows [0, count) on this thread and, where a second core is to be had, a
// helper, each taking the next row from one counter; what a row threw is kept at its place. Rows
// are taken in order, so once one fails every row before it has been taken: the rows after it,
// which could change nothing, are left.
std::vector<std::exception_ptr> read_rows_shared(std::size_t count, threads::Cores cores,
                                                 const std::function<void(std::size_t)>& read_row) {
    std::vector<std::exception_ptr> faults(count);
    std::atomic<std::size_t> next{0};
    std::atomic<bool> failed{false};
    const auto take_rows = [&] {
        for (std::size_t row = next++; row < count && !failed.load(std::memory_order_relaxed); row = next++) {
            try {
                read_row(row);
            } catch (...) {
                faults[row] = std::current_exception();
                failed = true;
            }
        }
    };
    {
        std::optional<threads::Helper> helper;
        if (count > 1 && threads::second_core(cores)) {
            helper.emplace([&](const std::stop_token&) { take_rows(); });
        }
        take_rows();
    }  // the helper's rows are done once it is joined
    return faults;
}

IndexedCut read_indexed_rows(const io::InputFile& file, const RowIndex& index, const IndexedDataSet& set,
                             const TableHeader* header, IdTable& ids, const Choice& options, const MakeRows& make_rows,
                             const std::string& index_path, std::uint64_t& located, threads::Cores cores) {
    IndexedCut cut{set.order, DataSet{make_rows(set.order), std::nullopt}, {}};
    if (!options.decimals) {
        cut.set.texts.emplace(ids.slots_for(static_cast<std::size_t>(set.order)),
                              text_shape(index.layout, index.with_diagonal));
    }
    ValueTexts* const texts = cut.set.texts ? &*cut.set.texts : nullptr;
    ids.forget_rows();
    LowerTriangleCut lower(index.with_diagonal, cut.set.rows, texts);
    const std::vector<std::pair<std::int32_t, std::uint32_t>> rows = locate_rows(set, ids);
    // The columns the cut takes: the listed rows' own places.
    std::vector<std::int32_t> columns;
    for (const auto& place : rows) {
        columns.push_back(place.first);
    }
    if (header == nullptr && index.layout == Layout::square) {
        // Each square row fills its own row of the cut alone: the rows are read on both cores,
        // and the first that fails, in file order, is the one a reading in order would stop at.
        const std::vector<std::exception_ptr> faults = read_rows_shared(rows.size(), cores, [&](std::size_t at) {
            read_square_row(file, index, set, rows[at].first, columns, cut.set.rows.row(rows[at].second),
                            texts != nullptr ? &texts->row(rows[at].second) : nullptr, index_path);
        });
        for (std::size_t at = 0; at < rows.size(); ++at) {
            ++located;
            if (faults[at]) {
                std::rethrow_exception(faults[at]);
            }
            ids.set_matrix_row(rows[at].second, rows[at].first);
        }
    } else {
        // A lower row fills other rows' cells too, and a table's row is read against its header:
        // one at a time.
        for (const auto& [at, listed] : rows) {
            // Named, not bound: a lambda below takes them.
            const std::int32_t row = at;
            const std::uint32_t slot = listed;
            ++located;
            if (header != nullptr) {
                const IndexedRow& place = set.rows[static_cast<std::size_t>(row)];
                io::LineReader table(region(file, place.offset, end_of_row(set, row)));
                if (read_table_row_at(table, index.layout, *header, row, 0, ids, cut.set.rows, texts,
                                      options.allow_na)) {
                    throw RowFault{};
                }
                continue;
            }
            read_token_row(
                file, index, set, row, [&](TokenReader& matrix) { return lower.take(matrix, row, slot); }, index_path);
            ids.set_matrix_row(slot, row);
        }
    }
    for (std::uint32_t slot = 0; slot < ids.ids().slot_count(); ++slot) {
        cut.matrix_rows.push_back(ids.matrix_row(slot));
    }
    return cut;
}

// A table's header, read again from the file's start: the index's rows must be named as it
// names them.
TableHeader read_header(const io::InputFile& file, const RowIndex& index, const std::string& index_path,
                        std::uint64_t size) {
    io::LineReader table(region(file, 0, size));
    TableHeader header;
    std::string first_row;
    if (read_table_header(table, index.layout, header, first_row)) {
        throw RowFault{};
    }
    const std::vector<IndexedRow>& rows = index.data_sets.front().rows;
    if (index.data_sets.size() != 1 || rows.size() != header.names.size() ||
        !std::equal(rows.begin(), rows.end(), header.names.begin(),
                    [](const IndexedRow& row, const std::string& name) { return row.name == name; })) {
        throw mismatch(index_path, file, "its rows are not the header's names");
    }
    return header;
}

}  // namespace

std::optional<IndexedCuts> cut_through_index(const indexing::Reporting& reporting, const io::InputFile& file,
                                             IdTable& ids, const Choice& options, const MakeRows& make_rows,
                                             std::string& not_used, threads::Cores cores) {
    const std::string& path = file.name();
    const std::optional<io::FileStamp> stamp = io::stamp_of(file.descriptor());
    const std::string index_path = path + std::string(oix_suffix);
    if (options.exclude) {
        not_used = "--exclude reads every row";
    } else if (path == "-") {
        not_used = "standard input cannot be read from the middle";
    } else if (!stamp) {
        not_used = "it is not a regular file";
    } else if (io::storage_of(file) != io::Storage::plain) {
        not_used = "a compressed matrix cannot be read from the middle";
    } else if (!io::exists(index_path)) {
        not_used = "no " + text::file_label(index_path, false) + " beside it";
    }
    if (!not_used.empty()) {
        return std::nullopt;
    }
    try {
        const RowIndex index = load_index(file, index_path, *stamp, reporting);
        // The layout the whole-file read would take, from the same first lines: an index made
        // reading the file in another (named when it was made) is not this run's.
        io::ReadBuffer start = region(file, 0, stamp->size);
        Detection detection;
        if (choose_layout(start, options.input_layout, detection) || *detection.layout != index.layout ||
            detection.with_diagonal != index.with_diagonal || detection.names != index.names ||
            index.layout == Layout::pairs || options.dataset > index.data_sets.size()) {
            // Read whole: as this run reads it, or for the whole-file read's own message.
            not_used = "it was made reading another layout, or this run asks for more than it holds";
            return std::nullopt;
        }
        std::optional<TableHeader> header;
        if (!holds_data_sets(index.layout)) {
            header = read_header(file, index, index_path, stamp->size);
        }
        IndexedCuts cuts;
        cuts.layout = index.layout;
        cuts.data_sets = static_cast<std::uint32_t>(index.data_sets.size());
        const std::size_t count = options.dataset > 0 ? options.dataset : index.data_sets.size();
        for (std::size_t number = 1; number <= count; ++number) {
            const IndexedDataSet& set = index.data_sets[number - 1];
            if (options.dataset > 0 && number != options.dataset) {
                cuts.cuts.push_back(IndexedCut{set.order, DataSet{make_rows(0), std::nullopt}, {}});
                continue;
            }
            cuts.cuts.push_back(read_indexed_rows(file, index, set, header ? &*header : nullptr, ids, options,
                                                  make_rows, index_path, cuts.located, cores));
        }
        return cuts;
    } catch (const indexing::Untrusted& untrusted) {
        reporting.warn(indexing::reading_whole(untrusted));
        not_used = "it cannot be trusted";
    } catch (const RowFault&) {
        not_used = "a row it locates cannot be read there: the whole-file read says why";
    }
    ids.forget_rows();
    return std::nullopt;
}

}  // namespace orvane
