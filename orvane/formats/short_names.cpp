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

namespace {

// An ID's words: its runs of letters and digits.
std::vector<std::string> words_of(std::string_view name) {
    std::vector<std::string> words;
    const auto alphanumeric = [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
    };
    for (std::size_t at = 0; at < name.size();) {
        const std::size_t begin = at;
        while (at < name.size() && alphanumeric(name[at])) {
            ++at;
        }
        if (at > begin) {
            words.emplace_back(name.substr(begin, at - begin));
        }
        while (at < name.size() && !alphanumeric(name[at])) {
            ++at;
        }
    }
    return words;
}

// A number's digits without the zeros that pad it (an accession's 000013425 is 13425).
std::string without_padding(const std::string& word) {
    const std::size_t first = word.find_first_not_of('0');
    return first == std::string::npos ? "0" : word.substr(first);
}

bool is_number(const std::string& word) { return word.find_first_not_of("0123456789") == std::string::npos; }

}  // namespace

std::string ShortNames::code_for(std::string_view name) const {
    // The words no other long ID of the list holds tell this one apart: the longest number among
    // them (an accession's digits, its end where too long: that differs most), or else all of
    // them from their start (a species' name reads from it).
    std::vector<std::string> own;
    for (const std::string& word : words_of(name)) {
        if (const auto found = ids_holding_.find(word); found != ids_holding_.end() && found->second == 1) {
            own.push_back(word);
        }
    }
    const std::string* number = nullptr;
    for (const std::string& word : own) {
        if (is_number(word) && (number == nullptr || without_padding(word).size() >= without_padding(*number).size())) {
            number = &word;
        }
    }
    std::string base;
    if (number != nullptr) {
        base = without_padding(*number);
        base = base.substr(base.size() - std::min(base.size(), longest_short_name));
    } else {
        for (const std::string& word : own) {
            base += (base.empty() ? "" : "_") + word;
        }
        base = base.substr(0, longest_short_name);
    }
    if (base.empty()) {
        // Nothing of its own (a word another ID shares throughout): its first characters, the
        // unsafe ones as '_', so that a tree still reads close to the names it stands for.
        for (const char c : name.substr(0, longest_short_name)) {
            base += is_safe(c) ? c : '_';
        }
    }
    return base.empty() ? "_" : base;
}

std::string ShortNames::numbered(const std::string& base) const {
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
    if (!words_known_) {
        // From the whole list, not the IDs one data set holds: codes do not change between them.
        words_known_ = true;
        for (std::uint32_t slot = 0; slot < names.slot_count(); ++slot) {
            std::vector<std::string> words = words_of(names.name(names.first_position(slot)));
            std::sort(words.begin(), words.end());
            words.erase(std::unique(words.begin(), words.end()), words.end());
            for (std::string& word : words) {
                ++ids_holding_[std::move(word)];
            }
        }
    }
    const auto give_one = [&](std::size_t position, std::string_view name, std::string short_name) {
        taken_.insert(short_name);
        given_.push_back({position, short_name, std::string(name)});
        short_of_name_.emplace(std::string(name), std::move(short_name));
    };
    for (const bool own : {true, false}) {
        for (std::uint32_t slot = 0; slot < names.slot_count(); ++slot) {
            const std::size_t position = names.first_position(slot);
            const std::string_view name = names.name(position);
            if (ids.matrix_row(slot) == IdTable::not_found || short_of_name_.contains(std::string(name)) ||
                is_short_name(name) != own) {
                continue;
            }
            give_one(position, name,
                     own && !taken_.contains(std::string(name)) ? std::string(name) : numbered(code_for(name)));
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
    std::vector<const Given*> in_list_order;
    for (const Given& given : given_) {
        in_list_order.push_back(&given);
    }
    std::sort(in_list_order.begin(), in_list_order.end(),
              [](const Given* a, const Given* b) { return a->position < b->position; });
    for (const Given* given : in_list_order) {
        map.write(given->short_name);
        map.put('\t');
        map.write(given->name);
        map.put('\n');
    }
}

}  // namespace orvane
