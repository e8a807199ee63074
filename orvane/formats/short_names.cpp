#include "orvane/formats/short_names.hpp"

#include <algorithm>

namespace orvane {

namespace {

constexpr std::size_t longest_short_name = 10;

bool is_safe(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '.' ||
           c == '-';
}

}  // namespace

bool is_short_name(std::string_view name) {
    return !name.empty() && name.size() <= longest_short_name && std::all_of(name.begin(), name.end(), is_safe);
}

std::string ShortNames::code_for(std::string_view name) {
    // The ID's own characters, the unsafe ones as '_', so that a tree still reads close to the
    // names it stands for; a number after a '-' where that is taken.
    std::string base;
    for (const char c : name.substr(0, longest_short_name)) {
        base += is_safe(c) ? c : '_';
    }
    if (base.empty()) {
        base = "_";
    }
    if (!taken_.contains(base)) {
        return base;
    }
    for (std::size_t number = 2;; ++number) {
        const std::string suffix = "-" + std::to_string(number);
        std::string code = base.substr(0, longest_short_name - suffix.size()) + suffix;
        if (!taken_.contains(code)) {
            return code;
        }
    }
}

void ShortNames::give(IdTable& ids) {
    const text::NameList& names = ids.ids();
    const auto give_one = [&](std::string_view name, std::string short_name) {
        taken_.insert(short_name);
        given_.emplace_back(short_name, name);
        short_of_name_.emplace(std::string(name), std::move(short_name));
    };
    for (const bool own : {true, false}) {
        for (std::uint32_t slot = 0; slot < names.slot_count(); ++slot) {
            const std::string_view name = names.name(names.first_position(slot));
            if (ids.matrix_row(slot) == IdTable::not_found || short_of_name_.contains(std::string(name)) ||
                is_short_name(name) != own) {
                continue;
            }
            give_one(name, own && !taken_.contains(std::string(name)) ? std::string(name) : code_for(name));
        }
    }
    std::vector<std::string> per_slot(names.slot_count());
    for (std::uint32_t slot = 0; slot < names.slot_count(); ++slot) {
        if (const auto found = short_of_name_.find(std::string(names.name(names.first_position(slot))));
            found != short_of_name_.end()) {
            per_slot[slot] = found->second;
        }
    }
    ids.rename(std::move(per_slot));
}

void ShortNames::write_map(io::OutputFile& map) const {
    for (const auto& [short_name, name] : given_) {
        map.write(short_name);
        map.put('\t');
        map.write(name);
        map.put('\n');
    }
}

}  // namespace orvane
