#include "talmiro/fasta_reading.hpp"

#include "talmiro/name_matcher.hpp"

#include <algorithm>

#include <utility>

namespace talmiro {

namespace {

constexpr std::string_view reading_label = "Reading Input file. Completed... ";

// A header's first word: up to the first blank.
std::string_view first_word(std::string_view header) {
    return header.substr(0, std::min(header.find(' '), header.find('\t')));
}

// Copies the rest of the record (its sequence text) behind the header already in the store,
// closing it with a line break where the text lacks one, so records never run together.
void keep_sequence_text(io::LineReader& fasta, RecordStore& store) {
    char last = '\n';
    fasta.pass_until('>', [&](std::string_view piece) {
        if (!piece.empty()) {
            store.append(piece);
            last = piece.back();
        }
    });
    if (last != '\n') {
        store.append("\n");
    }
}

// Passes over what stands before the first record's header line: the first byte, taken for its
// '>' whatever it is, or blank lines and then the '>' that follows them.
void skip_to_first_record(io::ReadBuffer& input) {
    // Look past whole blank lines, keeping everything from the start should no '>' follow them.
    std::size_t start = input.pos();
    std::size_t at = start;
    std::size_t after_blank_lines = start;
    for (;;) {
        if (at == input.end()) {
            const std::size_t seen = at - start;
            const std::size_t lines = after_blank_lines - start;
            if (!input.refill(start)) {
                break;
            }
            at = start + seen;
            after_blank_lines = start + lines;
            continue;
        }
        const char c = input.data()[at];
        if (c == '\n') {
            after_blank_lines = ++at;
        } else if (c == ' ' || c == '\t' || c == '\r') {
            ++at;
        } else {
            break;
        }
    }
    if (after_blank_lines > start && after_blank_lines < input.end() && input.data()[after_blank_lines] == '>') {
        input.set_pos(after_blank_lines + 1);
    } else if (start < input.end()) {
        input.set_pos(start + 1);  // the first byte, taken for the first record's '>'
    } else {
        input.set_pos(start);
    }
}

}  // namespace

NameTable::NameTable(text::NameList names) : names_(std::move(names)) {
    names_.assign_slots();
    first_record_.assign(names_.slot_count(), no_record);
    last_record_.assign(names_.slot_count(), no_record);
}

void NameTable::add_record(std::uint32_t slot, std::string_view record) {
    const std::size_t index = records_.size();
    records_.push_back({record, no_record});
    if (first_record_[slot] == no_record) {
        first_record_[slot] = index;
    } else {
        records_[last_record_[slot]].next = index;
    }
    last_record_[slot] = index;
}

text::NameList read_name_lines(io::LineReader& list) {
    list.skip_byte_order_mark();
    text::NameList names;
    while (!list.at_end_of_file()) {
        const std::string_view name = io::without_carriage_return(list.take_until('\n'));
        if (!name.empty()) {
            names.add(name);
        }
    }
    return names;
}

std::size_t read_fasta_records(io::LineReader& fasta, NameTable& table, console::Meter& meter, Matching matching) {
    meter.begin(reading_label);
    const NameMatcher matcher(table.names());
    const auto list_count = static_cast<std::int64_t>(table.size());
    std::int64_t matches = 0;
    RecordStore& store = table.store();
    skip_to_first_record(fasta.window());
    // Matching needs no more of a header than the longest name, a blank after a first word, and
    // a carriage return: a longer header is read whole only when a name takes its record.
    const std::size_t wanted = matcher.longest_name() + 2;
    std::size_t records = 0;
    while (!fasta.at_end_of_file()) {
        bool whole = true;
        const std::string_view header = fasta.take_until_at_most('\n', wanted, whole);
        // (A file that ends at a '>', or is empty, gives one last empty pass: no record.)
        records += fasta.at_end_of_file() && header.empty() ? 0 : 1;
        const std::string_view line = whole ? io::without_carriage_return(header) : header;
        const std::int64_t slot =
            matching == Matching::prefix ? matcher.first_match(line) : matcher.exact_match(first_word(line));
        if (slot < 0) {
            if (!whole) {
                fasta.pass_until('\n', [](std::string_view) {});
            }
            fasta.pass_until('>', [](std::string_view) {});
            continue;
        }
        // The header view dies with the next read: store it first.
        store.append(">");
        store.append(header);
        if (!whole) {
            fasta.pass_until('\n', [&](std::string_view piece) { store.append(piece); });
        }
        store.append("\n");
        keep_sequence_text(fasta, store);
        table.add_record(static_cast<std::uint32_t>(slot), store.finish_record());
        ++matches;
        meter.step(reading_label, console::percentage(matches, list_count));
    }
    return records;
}

}  // namespace talmiro
