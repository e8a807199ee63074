#include "orvane/writers/table_writing.hpp"

#include "orvane/parse/number_parsing.hpp"

namespace orvane {

namespace {

void write_name(io::OutputFile& output, std::string_view name, char delimiter) {
    if (name.find_first_of(std::string{delimiter, '"', '\r', '\n'}) == std::string_view::npos) {
        output.write(name);
        return;
    }
    output.put('"');
    for (const char c : name) {
        if (c == '"') {
            output.put('"');
        }
        output.put(c);
    }
    output.put('"');
}

// As R's write.table quotes a string by default: always, a quote inside escaped by a backslash
// (a backslash stays as it is, as read.table reads it).
void write_r_name(io::OutputFile& output, std::string_view name) {
    output.put('"');
    for (const char c : name) {
        if (c == '"') {
            output.put('\\');
        }
        output.put(c);
    }
    output.put('"');
}

void write_number(io::OutputFile& output, double value) {
    ShortestText room{};
    output.write(shortest_text(value, room));
}

}  // namespace

std::vector<std::size_t> found_positions(const IdTable& ids) {
    std::vector<std::size_t> found;
    for (std::size_t position = 0; position < ids.size(); ++position) {
        if (ids.found_at(position)) {
            found.push_back(position);
        }
    }
    return found;
}

void RowCells::start_row(std::uint32_t slot) {
    slot_ = slot;
    if (texts_ != nullptr) {
        line_ = texts_->line(slot);
        split_fields(line_, texts_->delimiter(), fields_);
    }
}

void RowCells::write(io::OutputFile& output, std::uint32_t column_slot) const {
    const auto column = static_cast<std::size_t>(ids_.matrix_row(column_slot));
    if (texts_ != nullptr) {
        const Field& cell = fields_[column + 1];
        output.write(line_.substr(cell.begin, cell.end - cell.begin));
    } else {
        write_number(output, rows_.row(slot_)[column]);
    }
}

std::size_t write_table(io::OutputFile& output, Layout layout, const IdTable& ids, const DistanceRows<double>& rows,
                        const RowTexts* texts, const io::Progress& progress) {
    const bool as_r = layout == Layout::ssv;
    const char delimiter = delimiter_of(layout);
    const auto name = [&](std::size_t position) {
        if (as_r) {
            write_r_name(output, ids.written_name(position));
        } else {
            write_name(output, ids.written_name(position), delimiter);
        }
    };
    progress.begin();
    const std::vector<std::size_t> found = found_positions(ids);
    for (std::size_t index = 0; index < found.size(); ++index) {
        if (!as_r || index > 0) {
            output.put(delimiter);
        }
        name(found[index]);
    }
    output.put('\n');
    RowCells cells(ids, rows, texts);
    const auto list_count = static_cast<std::int64_t>(ids.size());
    for (const std::size_t position : found) {
        name(position);
        cells.start_row(ids.ids().slot(position));
        for (const std::size_t column_position : found) {
            output.put(delimiter);
            cells.write(output, ids.ids().slot(column_position));
        }
        output.put('\n');
        progress.step(io::percentage(static_cast<std::int64_t>(position) + 1, list_count));
    }
    return found.size();
}

}  // namespace orvane
