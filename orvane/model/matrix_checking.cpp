#include "orvane/model/matrix_checking.hpp"

#include "orvane/parse/number_parsing.hpp"
#include "text/quoting.hpp"

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

}  // namespace orvane
