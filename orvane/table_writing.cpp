#include "orvane/table_writing.hpp"

#include <array>
#include <charconv>
#include <vector>

namespace orvane {

namespace {

constexpr std::string_view writing_label = "Writing OUTPUT files. Completed... ";

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

void write_number(io::OutputFile& output, double value) {
    std::array<char, 32> text{};
    const char* const end = std::to_chars(text.data(), text.data() + text.size(), value).ptr;
    output.write({text.data(), static_cast<std::size_t>(end - text.data())});
}

}  // namespace

std::size_t write_table(io::OutputFile& output, Layout layout, const IdTable& ids, const DistanceRows<double>& rows,
                        const RowTexts* texts, console::Meter& meter) {
    const char delimiter = delimiter_of(layout);
    meter.begin(writing_label);
    std::vector<std::size_t> found;  // list positions of the found entries
    for (std::size_t position = 0; position < ids.size(); ++position) {
        if (ids.found_at(position)) {
            found.push_back(position);
        }
    }
    for (const std::size_t position : found) {
        output.put(delimiter);
        write_name(output, ids.ids().name(position), delimiter);
    }
    output.put('\n');
    std::vector<Field> fields;
    const auto list_count = static_cast<std::int64_t>(ids.size());
    for (const std::size_t position : found) {
        const std::uint32_t slot = ids.ids().slot(position);
        write_name(output, ids.ids().name(position), delimiter);
        const std::string_view line = texts != nullptr ? std::string_view(texts->line(slot)) : std::string_view();
        if (texts != nullptr) {
            split_fields(line, texts->delimiter(), fields);
        }
        for (const std::size_t column_position : found) {
            output.put(delimiter);
            const auto column = static_cast<std::size_t>(ids.matrix_row(ids.ids().slot(column_position)));
            if (texts != nullptr) {
                const Field& cell = fields[column + 1];
                output.write(line.substr(cell.begin, cell.end - cell.begin));
            } else {
                write_number(output, rows.row(slot)[column]);
            }
        }
        output.put('\n');
        meter.step(writing_label, console::percentage(static_cast<std::int64_t>(position) + 1, list_count));
    }
    return found.size();
}

}  // namespace orvane
