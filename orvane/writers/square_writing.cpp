#include "orvane/writers/square_writing.hpp"

#include "orvane/readers/reading_errors.hpp"

#include <atomic>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstring>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace orvane {

namespace {

constexpr std::size_t id_width = 10;
constexpr std::size_t count_width = 5;

// Right-aligns `count` in a field of 5; a longer number is written whole.
void write_row_count(io::OutputFile& matrix, std::size_t count) {
    std::array<char, 32> digits{};
    const auto [stop, error] = std::to_chars(digits.data(), digits.data() + digits.size(), count);
    const std::size_t length = static_cast<std::size_t>(stop - digits.data());
    for (std::size_t pad = length; pad < count_width; ++pad) {
        matrix.put(' ');
    }
    matrix.write({digits.data(), length});
}

// Left-aligns the ID in a field of 10; a longer ID is written whole.
void write_row_name(io::OutputFile& matrix, std::string_view id) {
    matrix.write(id);
    for (std::size_t pad = id.size(); pad < id_width; ++pad) {
        matrix.put(' ');
    }
}

// One output row formatted: every field of the square row, and where the lower triangle's part
// of it ends.
struct FormattedRow {
    std::unique_ptr<char[]> text;
    std::size_t capacity = 0;
    std::size_t size = 0;
    std::size_t triangle_size = 0;

    // Room for `bytes`, growing only: a buffer serves row after row.
    void reserve(std::size_t bytes) {
        if (bytes > capacity) {
            text = std::make_unique_for_overwrite<char[]>(bytes);
            capacity = bytes;
        }
    }
};

// Hands out the formatted rows in order. Formatting is most of the work of writing, and rows are
// independent: where a second core can be had, a helper thread formats rows ahead of the writer,
// taking each row the writer has not taken first, while the writer formats any row it comes to
// that the helper has not begun and writes every row in order. Where writing costs (files) the
// helper formats most rows; where it costs nothing, each formats about half. The bytes are the
// same whoever formats a row. Rows live in a ring of buffers; a buffer is reused once the row
// before in it has been written.
class RowFormatting {
public:
    using Format = std::function<void(std::size_t row, FormattedRow& into)>;
    static constexpr std::size_t ring = 4;

    RowFormatting(std::size_t rows, Format format, threads::Cores cores) : rows_(rows), format_(std::move(format)) {
        // Where no thread can be had, every row is formatted here.
        // Forced to two cores (the differential tests), any matrix is.
        if ((rows_ >= minimum_for_helper || cores == threads::Cores::two) && threads::second_core(cores)) {
            helper_.emplace([this](const std::stop_token& stop) { format_ahead(stop); },
                            [this] {
                                written_.store(SIZE_MAX);  // releases a helper waiting for a buffer
                                written_.notify_all();
                            });
        }
    }
    RowFormatting(const RowFormatting&) = delete;
    RowFormatting& operator=(const RowFormatting&) = delete;

    // Row `row`, formatted; valid until done_with(row). While the helper still formats it, the
    // writer formats rows after it that no one has taken, rather than wait.
    const FormattedRow& get(std::size_t row) {
        if (!helping()) {
            format_(row, slots_[row % ring].buffer);
            return slots_[row % ring].buffer;
        }
        Slot& wanted = slots_[row % ring];
        for (std::size_t done = wanted.done.load(); done != row + 1; done = wanted.done.load()) {
            // Rows below `row` are written, so the buffers of rows up to row + ring - 1 are free.
            const std::size_t last = std::min(rows_, row + ring);
            std::size_t next = next_.load();
            if (next < last && next_.compare_exchange_strong(next, next + 1)) {
                format_into_slot(next);
            } else if (next >= last) {
                wanted.done.wait(done);
            }
        }
        return wanted.buffer;
    }

    void done_with(std::size_t row) {
        if (helping()) {
            written_.store(row + 1);
            written_.notify_one();
        }
    }

private:
    // Square outputs of fewer rows (up to 65,536 fields) are written before a helper would pay:
    // a bootstrap file's small data sets, one after another, would start one each.
    static constexpr std::size_t minimum_for_helper = 256;

    struct Slot {
        FormattedRow buffer;
        std::atomic<std::size_t> done{0};  // one more than the row last formatted here
    };

    bool helping() const { return helper_ && helper_->running(); }

    void format_ahead(const std::stop_token& stop) {
        for (std::size_t row = next_.load(); row < rows_ && !stop.stop_requested(); row = next_.load()) {
            // The buffer's previous row (row - ring) must have been written.
            const std::size_t needed = row >= ring ? row - ring + 1 : 0;
            for (std::size_t written = written_.load(); written < needed; written = written_.load()) {
                written_.wait(written);
            }
            if (stop.stop_requested() || !next_.compare_exchange_strong(row, row + 1)) {
                continue;  // the writer took the row meanwhile: try the next
            }
            format_into_slot(row);
        }
    }

    // Formats a row taken from next_ into its buffer, and tells the writer it is there.
    void format_into_slot(std::size_t row) {
        Slot& slot = slots_[row % ring];
        format_(row, slot.buffer);
        slot.done.store(row + 1);
        slot.done.notify_one();
    }

    std::size_t rows_;
    Format format_;
    std::array<Slot, ring> slots_;
    std::atomic<std::size_t> next_{0};       // the first row neither the helper nor the writer has taken
    std::atomic<std::size_t> written_{0};    // every row below this has been written
    std::optional<threads::Helper> helper_;  // last: started once the rest is in place
};

// The found entries in list order, with the slot and input column of each: the columns of every
// row.
struct FoundEntries {
    std::vector<std::size_t> positions;
    std::vector<std::uint32_t> slots;
    std::vector<std::int32_t> columns;
};

FoundEntries found_entries(const IdTable& ids) {
    FoundEntries found;
    for (std::size_t position = 0; position < ids.size(); ++position) {
        if (ids.found_at(position)) {
            found.positions.push_back(position);
            found.slots.push_back(ids.ids().slot(position));
            found.columns.push_back(ids.matrix_row(found.slots.back()));
        }
    }
    return found;
}

// Output row `index` as its input texts: sized for them first, as a text may be of any length.
void format_text_row(const ValueTexts& texts, const FoundEntries& found, std::size_t index, FormattedRow& into) {
    const std::uint32_t slot = found.slots[index];
    const std::int32_t row = found.columns[index];
    const auto cell = [&](std::size_t column) {
        return texts.cell(slot, row, found.slots[column], found.columns[column]);
    };
    std::size_t bytes = 1;
    for (std::size_t column = 0; column < found.columns.size(); ++column) {
        bytes += text_field_size(cell(column));
    }
    into.reserve(bytes);
    char* const start = into.text.get();
    char* at = start;
    for (std::size_t column = 0; column < found.columns.size(); ++column) {
        if (column == index) {
            into.triangle_size = static_cast<std::size_t>(at - start);
        }
        at = write_text_field(cell(column), at);
    }
    *at++ = '\n';
    into.size = static_cast<std::size_t>(at - start);
}

// Formats output row `index`: every field of the square row into one line, which both files
// then take whole, and where the lower triangle's part of it ends. The line is sized for the
// widest fields and filled in place, never cleared.
template <typename Distance>
void format_row(const DistanceRows<Distance>& rows, const ValueFormat& format, const FoundEntries& found,
                std::size_t index, FormattedRow& into) {
    if (format.texts != nullptr) {
        format_text_row(*format.texts, found, index, into);
        return;
    }
    into.reserve(found.columns.size() * sizeof(DistanceField) + 1);
    char* const start = into.text.get();
    char* at = start;
    const Distance* const row = rows.row(found.slots[index]);
    for (std::size_t column = 0; column < found.columns.size(); ++column) {
        if (column == index) {
            into.triangle_size = static_cast<std::size_t>(at - start);
        }
        at = write_distance_field(row[found.columns[column]], format.decimals, at);
    }
    *at++ = '\n';
    into.size = static_cast<std::size_t>(at - start);
}

}  // namespace

template <typename Distance>
std::size_t write_output_files(io::OutputFile* matrix, io::OutputFile* sample, const IdTable& ids,
                               const DistanceRows<Distance>& rows, const io::Progress& progress, Layout layout,
                               const ValueFormat& format, threads::Cores cores) {
    progress.begin();
    const FoundEntries found = found_entries(ids);
    if (matrix != nullptr) {
        write_row_count(*matrix, found.columns.size());
        matrix->put('\n');
    }
    RowFormatting formatting(
        found.positions.size(),
        [&](std::size_t index, FormattedRow& into) { format_row(rows, format, found, index, into); }, cores);
    const auto list_count = static_cast<std::int64_t>(ids.size());
    for (std::size_t index = 0; index < found.positions.size(); ++index) {
        const FormattedRow& row = formatting.get(index);
        const std::string_view line(row.text.get(), row.size);
        if (matrix != nullptr) {
            write_row_name(*matrix, ids.written_name(found.positions[index]));
            if (layout == Layout::square) {
                matrix->write(line);
            } else {
                matrix->write(line.substr(0, row.triangle_size));
                matrix->put('\n');
            }
        }
        if (sample != nullptr) {
            sample->write(line);
        }
        formatting.done_with(index);
        progress.step(io::percentage(static_cast<std::int64_t>(found.positions[index]) + 1, list_count));
    }
    return found.positions.size();
}

template std::size_t write_output_files(io::OutputFile*, io::OutputFile*, const IdTable&, const DistanceRows<float>&,
                                        const io::Progress&, Layout, const ValueFormat&, threads::Cores);
template std::size_t write_output_files(io::OutputFile*, io::OutputFile*, const IdTable&, const DistanceRows<double>&,
                                        const io::Progress&, Layout, const ValueFormat&, threads::Cores);

std::optional<std::string> name_no_phylip_field_can_hold(const IdTable& ids) {
    for (std::size_t position = 0; position < ids.size(); ++position) {
        const std::string_view name = ids.written_name(position);
        if (ids.found_at(position) && (name.find_first_of("\t\r\n") != std::string_view::npos ||
                                       (name.size() > id_width && name.find(' ') != std::string_view::npos))) {
            return std::string(name);
        }
    }
    return std::nullopt;
}

}  // namespace orvane
