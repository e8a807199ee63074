#include "orvane/writers/pair_writing.hpp"

#include "orvane/readers/reading_errors.hpp"
#include "orvane/writers/table_writing.hpp"
#include "text/quoting.hpp"

namespace orvane {

std::size_t write_pairs(io::OutputFile& output, const IdTable& ids, const DistanceRows<double>& rows,
                        const ValueFormat& format, const io::Progress& progress) {
    progress.begin();
    const std::vector<std::size_t> found = found_positions(ids);
    const Cells cells(ids, rows, format);
    DistanceField room{};
    const auto list_count = static_cast<std::int64_t>(ids.size());
    for (const std::size_t position : found) {
        const std::uint32_t slot = ids.ids().slot(position);
        for (const std::size_t column_position : found) {
            output.write(ids.written_name(position));
            output.put('\t');
            output.write(ids.written_name(column_position));
            output.put('\t');
            output.write(cells.text(slot, ids.ids().slot(column_position), room));
            output.put('\n');
        }
        progress.step(io::percentage(static_cast<std::int64_t>(position) + 1, list_count));
    }
    return found.size();
}

std::optional<std::string> name_no_pair_can_hold(const IdTable& ids) {
    for (std::size_t position = 0; position < ids.size(); ++position) {
        if (ids.found_at(position) && ids.written_name(position).find_first_of("\t\r\n") != std::string_view::npos) {
            return std::string(ids.written_name(position));
        }
    }
    return std::nullopt;
}

}  // namespace orvane
