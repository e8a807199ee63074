#include "talmiro/match/name_selection.hpp"

#include <algorithm>
#include <cstdint>
#include <utility>

namespace talmiro {

namespace {

// The word without the mate number a paired read's name may end with.
std::optional<std::string_view> without_mate(std::string_view word) {
    if (word.size() > 2 && word[word.size() - 2] == '/' && (word.back() == '1' || word.back() == '2')) {
        return word.substr(0, word.size() - 2);
    }
    return std::nullopt;
}

}  // namespace

std::string_view first_word(std::string_view header) {
    // One comparison for the bytes of a name, which are almost all it meets.
    constexpr std::uint64_t blanks = std::uint64_t{1} << ' ' | std::uint64_t{1} << '\t' | std::uint64_t{1} << '\n' |
                                     std::uint64_t{1} << '\v' | std::uint64_t{1} << '\f' | std::uint64_t{1} << '\r';
    const auto blank = [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return byte <= ' ' && ((blanks >> byte) & 1) != 0;
    };
    std::size_t begin = 0;
    while (begin < header.size() && blank(header[begin])) {
        ++begin;
    }
    std::size_t end = begin;
    while (end < header.size() && !blank(header[end])) {
        ++end;
    }
    return header.substr(begin, end - begin);
}

void fold_case(std::string_view text, std::string& into) {
    into.resize(text.size());
    std::transform(text.begin(), text.end(), into.begin(),
                   [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; });
}

NameTable::NameTable(text::NameList names, bool ignore_case) : names_(std::move(names)) {
    names_.assign_slots();
    if (ignore_case) {
        folded_.emplace();
        std::string folded;
        for (std::size_t position = 0; position < names_.size(); ++position) {
            fold_case(names_.name(position), folded);
            folded_->add(folded);
        }
        if (folded_->out_of_memory()) {
            throw std::bad_alloc();
        }
        folded_->assign_slots();
    }
}

NameSelector::NameSelector(const NameTable& table, Matching matching, bool words_first)
    : table_(table), matching_(matching), words_first_(words_first), matcher_(table.keys()) {}

std::int64_t NameSelector::first_of(std::int64_t slot, std::int64_t other) const {
    if (slot < 0 || other < 0) {
        return std::max(slot, other);
    }
    const text::NameList& keys = table_.keys();
    return keys.first_position(static_cast<std::uint32_t>(slot)) <=
                   keys.first_position(static_cast<std::uint32_t>(other))
               ? slot
               : other;
}

std::int64_t NameSelector::whole_word_slot(std::string_view word) const {
    const std::optional<std::string_view> read_name = without_mate(word);
    return first_of(matcher_.exact_match(word), read_name ? matcher_.exact_match(*read_name) : -1);
}

std::int64_t NameSelector::prefix_slot(std::string_view line) const {
    if (!words_first_) {
        return matcher_.first_match(line);
    }
    const std::string_view word = first_word(line);
    if (const std::int64_t whole = whole_word_slot(word); whole >= 0) {
        return whole;
    }
    const std::int64_t slot = matcher_.first_match(line);
    if (slot >= 0 &&
        table_.keys().name(table_.keys().first_position(static_cast<std::uint32_t>(slot))).size() < word.size()) {
        by_prefix_.fetch_add(1, std::memory_order_relaxed);
    }
    return slot;
}

std::int64_t NameSelector::slot_for(HeaderLine header, std::string& scratch) const {
    std::string_view line = header.text;
    if (table_.ignore_case()) {
        fold_case(line, scratch);
        line = scratch;
    }
    switch (matching_) {
    case Matching::prefix:
        return prefix_slot(line);
    case Matching::word:
        return whole_word_slot(first_word(line));
    case Matching::full:
        return header.whole ? matcher_.exact_match(line) : -1;
    }
    return -1;
}

}  // namespace talmiro
