#include "orvane/model/matrix_checking.hpp"

#include "orvane/parse/number_parsing.hpp"
#include "text/quoting.hpp"

#include <cmath>

namespace orvane {

namespace {

std::string shortest(double value) {
    ShortestText room{};
    return std::string(shortest_text(value, room));
}

}  // namespace

std::optional<std::string> first_fault_of_cut(const IdTable& ids, const DistanceRows<double>& rows) {
    const text::NameList& names = ids.ids();
    for (std::size_t position = 0; position < names.size(); ++position) {
        const std::uint32_t slot = names.slot(position);
        if (!ids.found_at(position) || names.first_position(slot) != position) {
            continue;
        }
        const double* const row = rows.row(slot);
        const std::string name = text::quoted(names.name(position));
        if (const double self = row[ids.matrix_row(slot)]; self != 0) {
            return "the distance from " + name + " to itself is " + shortest(self) + ", not 0";
        }
        for (std::size_t other = position + 1; other < names.size(); ++other) {
            const std::uint32_t other_slot = names.slot(other);
            if (!ids.found_at(other) || names.first_position(other_slot) != other) {
                continue;
            }
            const double there = row[ids.matrix_row(other_slot)];
            const double back = rows.row(other_slot)[ids.matrix_row(slot)];
            if (there != back) {
                const std::string other_name = text::quoted(names.name(other));
                return "the distance from " + name + " to " + other_name + " is " + shortest(there) + ", from " +
                       other_name + " to " + name + " " + shortest(back);
            }
        }
    }
    return std::nullopt;
}

std::optional<std::string> first_missing_value(const IdTable& ids, const DataSet& set) {
    const text::NameList& names = ids.ids();
    for (std::size_t position = 0; position < names.size(); ++position) {
        const std::uint32_t slot = names.slot(position);
        if (!ids.found_at(position)) {
            continue;
        }
        for (std::size_t other = 0; other < names.size(); ++other) {
            const std::uint32_t other_slot = names.slot(other);
            if (!ids.found_at(other)) {
                continue;
            }
            const std::int32_t row = ids.matrix_row(slot);
            const std::int32_t column = ids.matrix_row(other_slot);
            const std::string_view text =
                set.texts ? set.texts->cell(slot, row, other_slot, column) : std::string_view();
            if (set.texts ? is_missing_value(text) : std::isnan(set.rows.row(slot)[column])) {
                return "the distance from " + text::quoted(names.name(position)) + " to " +
                       text::quoted(names.name(other)) + " is " + (set.texts ? text::quoted(text) : "NaN");
            }
        }
    }
    return std::nullopt;
}

}  // namespace orvane
