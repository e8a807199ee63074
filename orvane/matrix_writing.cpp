#include "matrix_writing.hpp"

#include <charconv>
#include <cstring>
#include <vector>

namespace orvane {

namespace {

constexpr std::string_view writing_label = "Writing OUTPUT files. Completed... ";
constexpr std::size_t distance_width = 10;
constexpr std::size_t id_width = 10;
constexpr std::size_t count_width = 5;

// Right-aligns `count` in a field of 5; a longer number is written whole.
void write_row_count(console::OutputFile& matrix, std::size_t count) {
    std::array<char, 32> digits{};
    const auto [stop, error] = std::to_chars(digits.data(), digits.data() + digits.size(), count);
    const std::size_t length = static_cast<std::size_t>(stop - digits.data());
    for (std::size_t pad = length; pad < count_width; ++pad) {
        matrix.put(' ');
    }
    matrix.write({digits.data(), length});
}

// Left-aligns the ID in a field of 10; a longer ID is written whole.
void write_row_name(console::OutputFile& matrix, std::string_view id) {
    matrix.write(id);
    for (std::size_t pad = id.size(); pad < id_width; ++pad) {
        matrix.put(' ');
    }
}

}  // namespace

std::string_view format_distance(float distance, DistanceField& field) {
    // Fixed notation with precision 6, as the stream writes a float: promoted to double.
    char* const digits = field.data() + distance_width;
    const auto [stop, error] =
        std::to_chars(digits, field.data() + field.size(), static_cast<double>(distance),
                      std::chars_format::fixed, 6);
    const std::size_t length = static_cast<std::size_t>(stop - digits);
    const std::size_t pad = length < distance_width ? distance_width - length : 1;
    std::memset(digits - pad, ' ', pad);
    return {digits - pad, length + pad};
}

void write_output_files(console::OutputFile& matrix, console::OutputFile& sample, const IdTable& ids,
                        const DistanceRows& rows, console::Console& console) {
    console.progress_begin(writing_label);

    // The input columns of the found entries, in list order: the columns of every output row.
    std::vector<std::int32_t> columns;
    columns.reserve(ids.size());
    for (std::size_t position = 0; position < ids.size(); ++position) {
        if (ids.found_at(position)) {
            columns.push_back(ids.matrix_row(ids.ids().slot(position)));
        }
    }

    write_row_count(matrix, columns.size());
    matrix.put('\n');

    const auto list_count = static_cast<std::int64_t>(ids.size());
    DistanceField field{};
    for (std::size_t position = 0; position < ids.size(); ++position) {
        if (!ids.found_at(position)) {
            continue;
        }
        write_row_name(matrix, ids.ids().name(position));
        const float* const row = rows.row(ids.ids().slot(position));
        for (const std::int32_t column : columns) {
            const std::string_view text = format_distance(row[column], field);
            matrix.write(text);
            sample.write(text);
        }
        matrix.put('\n');
        matrix.flush();
        sample.put('\n');
        sample.flush();
        console.progress_step(writing_label,
                              console::percentage(static_cast<std::int64_t>(position) + 1, list_count));
    }
}

}  // namespace orvane
