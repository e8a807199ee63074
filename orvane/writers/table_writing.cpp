#include "orvane/writers/table_writing.hpp"

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

std::size_t write_table(io::OutputFile& output, Layout layout, const IdTable& ids, const DistanceRows<double>& rows,
                        const ValueFormat& format, const io::Progress& progress) {
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
    const Cells cells(ids, rows, format);
    DistanceField room{};
    const auto list_count = static_cast<std::int64_t>(ids.size());
    for (const std::size_t position : found) {
        name(position);
        const std::uint32_t slot = ids.ids().slot(position);
        for (const std::size_t column_position : found) {
            output.put(delimiter);
            output.write(cells.text(slot, ids.ids().slot(column_position), room));
        }
        output.put('\n');
        progress.step(io::percentage(static_cast<std::int64_t>(position) + 1, list_count));
    }
    return found.size();
}

}  // namespace orvane
