// Which listed name, if any, takes a record: the list as the run matches it, and the three ways
// a name can match a header line.
#pragma once

#include "talmiro/match/name_matcher.hpp"
#include "text/name_list.hpp"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace talmiro {

// A header's first word, as samtools and the field's readers name a record: the first run of
// bytes that are not white space, any at the start passed over (">  foo bar" is "foo").
std::string_view first_word(std::string_view header);

// prefix: the header line begins with the name (the dialogue's way, so contig_1 also takes
// contig_10). word: the name is the header's first word, or that word without a trailing /1 or
// /2 (so a read's name takes both mates). full: the name is the whole header line.
enum class Matching { prefix, word, full };

struct Selection {
    Matching matching = Matching::prefix;
    bool ignore_case = false;  // ASCII letters only
    // Prefix matching in batch mode: a record whose first word is a listed name (as word matching
    // reads it) goes to that name, before any shorter name listed earlier that begins it, so no
    // name that is a record's whole first word is left "not found". The dialogue takes the first
    // listed name that begins the line, as it always has.
    bool words_first = false;
};

// The listed names, and the slots records are gathered under. A name listed twice has one slot;
// with ignore_case, so do names that differ only in the case of their letters, as they take
// the same records.
class NameTable {
public:
    // Takes the list as read; may throw std::bad_alloc.
    NameTable(text::NameList names, bool ignore_case);

    // As listed, for messages.
    const text::NameList& names() const { return names_; }
    // As matched: the names themselves, or their lower-case forms.
    const text::NameList& keys() const { return folded_ ? *folded_ : names_; }
    std::size_t size() const { return names_.size(); }
    std::uint32_t slot(std::size_t position) const { return keys().slot(position); }
    std::size_t slot_count() const { return keys().slot_count(); }
    bool ignore_case() const { return folded_.has_value(); }

private:
    text::NameList names_;
    std::optional<text::NameList> folded_;
};

// A record's header line as the scan saw it, without its '>' or '@': `whole`, or only its
// first bytes when it is longer than any name could need.
struct HeaderLine {
    std::string_view text;  // a carriage return ending a whole line removed
    bool whole = true;
};

// Finds the slot of the first listed name (in list order) that takes a record. Shared by the
// threads that scan several inputs at once: each brings its own scratch text.
class NameSelector {
public:
    // `table` must outlive the selector.
    NameSelector(const NameTable& table, Matching matching, bool words_first = false);

    // How much of a header line matching may look at: longer lines need not be read whole.
    std::size_t header_bytes() const { return matcher_.longest_name() + 4; }
    // The slot of the name that takes the record with this header line, or -1.
    std::int64_t slot_for(HeaderLine header, std::string& scratch) const;

    // How many records a name took that is only the beginning of their first word (prefix
    // matching), for -v: the takes a user may not have meant.
    std::uint64_t taken_by_prefix() const { return by_prefix_.load(std::memory_order_relaxed); }

private:
    std::int64_t first_of(std::int64_t slot, std::int64_t other) const;
    // The slot whose name is the word, or that word without a mate number; -1 when none.
    std::int64_t whole_word_slot(std::string_view word) const;
    std::int64_t prefix_slot(std::string_view line) const;

    const NameTable& table_;
    Matching matching_;
    bool words_first_;
    NameMatcher matcher_;
    mutable std::atomic<std::uint64_t> by_prefix_{0};  // the threads scanning several inputs count here
};

// ASCII letters in lower case, everything else as it is.
void fold_case(std::string_view text, std::string& into);

}  // namespace talmiro
