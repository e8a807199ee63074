#include "orvane/formats/layouts.hpp"

#include "text/characters.hpp"

#include <algorithm>
#include <charconv>
#include <cstdint>

namespace orvane {

namespace {

// The first few lines, without their line breaks (a carriage return before one included).
std::vector<std::string_view> first_lines(std::string_view start, bool whole, std::size_t wanted) {
    std::vector<std::string_view> lines;
    while (lines.size() < wanted && !start.empty()) {
        const std::size_t end = start.find('\n');
        if (end == std::string_view::npos && !whole) {
            break;  // a line cut by the end of what was read
        }
        std::string_view line = start.substr(0, end);
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        lines.push_back(line);
        start.remove_prefix(end == std::string_view::npos ? start.size() : end + 1);
    }
    return lines;
}

std::size_t count_tokens(std::string_view line) {
    std::size_t tokens = 0;
    bool in_token = false;
    for (const char c : line) {
        const bool blank = text::is_blank(c);
        tokens += !blank && !in_token ? 1 : 0;
        in_token = !blank;
    }
    return tokens;
}

// The first whitespace-separated token of a line, when it is a whole number.
std::optional<std::int64_t> leading_number(std::string_view line) {
    while (!line.empty() && text::is_blank(line.front())) {
        line.remove_prefix(1);
    }
    const std::size_t end = std::min(
        line.size(), static_cast<std::size_t>(std::find_if(line.begin(), line.end(), text::is_blank) - line.begin()));
    std::int64_t number = 0;
    const char* const first = line.data() + (line.starts_with('+') ? 1 : 0);
    const auto [stop, error] = std::from_chars(first, line.data() + end, number);
    if (end == 0 || error != std::errc() || stop != line.data() + end) {
        return std::nullopt;
    }
    return number;
}

// The order, when the line holds one: a whole number first (alone, where the line has tabs or
// commas, as mash writes "\t12"), never the header of a labelled table whose names are numbers,
// as R writes "1\t2\t3".
std::optional<std::int64_t> order_on(std::string_view line) {
    if (line.find(',') != std::string_view::npos ||
        (line.find('\t') != std::string_view::npos && count_tokens(line) != 1)) {
        return std::nullopt;
    }
    return leading_number(line);
}

// The fields of a table's first two lines, its header and first row; false without two lines.
bool split_header_and_row(const std::vector<std::string_view>& lines, char delimiter, std::vector<Field>& header,
                          std::vector<Field>& row) {
    if (lines.size() < 2) {
        return false;
    }
    split_fields(lines[0], delimiter, header);
    split_fields(lines[1], delimiter, row);
    return true;
}

// Whether the first lines read as a labelled table with this delimiter: a header and a row
// whose numbers of fields agree (with or without a corner cell).
bool fits_table(const std::vector<std::string_view>& lines, char delimiter) {
    std::vector<Field> header;
    std::vector<Field> row;
    return split_header_and_row(lines, delimiter, header, row) && row.size() >= 2 &&
           (header.size() == row.size() || header.size() + 1 == row.size());
}

// Whether the whole text is a number, as a distance is written.
bool is_number(std::string_view text) {
    double value = 0;
    const char* const first = text.data() + (text.starts_with('+') ? 1 : 0);
    const auto [stop, error] = std::from_chars(first, text.data() + text.size(), value);
    return !text.empty() && error == std::errc() && stop == text.data() + text.size();
}

// Whether the line is a pair: two IDs and a number, then perhaps more fields (tab-separated, or
// else blank-separated).
bool is_pair_line(std::string_view line) {
    if (pairs_split_at_tabs(line)) {
        return true;
    }
    std::vector<Field> fields;
    split_fields(line, ' ', fields, 3);
    return fields.size() == 3 && !fields[0].quoted && !fields[1].quoted &&
           is_number(line.substr(fields[2].begin, fields[2].end - fields[2].begin));
}

// Whether the rows after the order line are tab-separated.
bool rows_have_tabs(const std::vector<std::string_view>& lines) {
    return std::any_of(lines.begin() + (lines.empty() ? 0 : 1), lines.end(),
                       [](std::string_view line) { return line.find('\t') != std::string_view::npos; });
}

// A row's first line as a reader of such names splits it: its name, then its values' texts.
struct RowLine {
    std::string_view name;
    std::vector<std::string_view> values;
};

std::vector<std::string_view> tokens_of(std::string_view line) {
    std::vector<std::string_view> tokens;
    for (std::size_t at = 0;;) {
        while (at < line.size() && text::is_blank(line[at])) {
            ++at;
        }
        if (at == line.size()) {
            return tokens;
        }
        std::size_t end = at;
        while (end < line.size() && !text::is_blank(line[end])) {
            ++end;
        }
        tokens.push_back(line.substr(at, end - at));
        at = end;
    }
}

RowLine split_row(std::string_view line, RowNames names) {
    RowLine row;
    if (names == RowNames::to_tabs) {
        const std::size_t tab = std::min(line.find('\t'), line.size());
        row.name = line.substr(0, tab);
        row.values = tokens_of(line.substr(tab));
    } else if (names == RowNames::phylip_field) {
        row.name = line.substr(0, phylip_name_width);
        row.values = tokens_of(line.substr(std::min(line.size(), phylip_name_width)));
    } else {
        row.values = tokens_of(line);
        if (!row.values.empty()) {
            row.name = row.values.front();
            row.values.erase(row.values.begin());
        }
    }
    return row;
}

bool all_numbers(const std::vector<std::string_view>& texts) {
    return std::all_of(texts.begin(), texts.end(), [](std::string_view text) { return is_number(text); });
}

// Whether the lines after the order read as a lower triangle's first rows, names read so, and
// then whether they hold the diagonal: row 1 holds its name (and perhaps its diagonal) alone and
// row 2 one value more; rows as long as a square matrix's are none. Rows whose names are
// tokens may hold any values (their reader tells a word from a number), others only numbers;
// a diagonal is a number.
std::optional<bool> lower_rows(const std::vector<std::string_view>& lines, std::int64_t order, RowNames names) {
    const RowLine first = split_row(lines[1], names);
    const std::size_t values = first.values.size();
    const bool full_rows = values == static_cast<std::uint64_t>(order);
    const auto next_fits = [&] {
        const RowLine second = split_row(lines[2], names);
        return second.values.size() == values + 1 && (names == RowNames::tokens || all_numbers(second.values));
    };
    const bool lower = (values == 0 || (values == 1 && is_number(first.values[0]))) &&
                       (order == 1 || (lines.size() >= 3 && next_fits()));
    return lower && !full_rows && !first.name.empty() ? std::optional(values == 1) : std::nullopt;
}

// Whether a square matrix's first row reads, names read so, as a name and numbers: as many as
// the order, or fewer where the row wraps onto a line that goes on with numbers.
bool fits_square_row(std::string_view line, std::string_view next, std::int64_t order, RowNames names) {
    const RowLine row = split_row(line, names);
    if (row.name.empty() || !all_numbers(row.values) || row.values.size() > static_cast<std::uint64_t>(order)) {
        return false;
    }
    const std::vector<std::string_view> following = tokens_of(next);
    return row.values.size() == static_cast<std::uint64_t>(order) || (!following.empty() && is_number(following[0]));
}

// A square matrix's names: tokens, unless its first row reads as a name and numbers only with
// PHYLIP's 10-character name field.
RowNames square_names(const std::vector<std::string_view>& lines) {
    const std::optional<std::int64_t> order = lines.empty() ? std::nullopt : order_on(lines[0]);
    if (!order || lines.size() < 2) {
        return RowNames::tokens;
    }
    // A value that begins as a number and goes on with other text is a damaged value, which the
    // reader tells as such (or, the dialogue, reads as the stream does), not part of a name.
    const std::vector<std::string_view> tokens = tokens_of(lines[1]);
    const bool damaged_value =
        std::any_of(tokens.begin() + (tokens.empty() ? 0 : 1), tokens.end(), [](std::string_view token) {
            return !is_number(token) && std::string_view("0123456789+-.").find(token.front()) != std::string_view::npos;
        });
    const std::string_view next = lines.size() > 2 ? lines[2] : std::string_view();
    if (!damaged_value && !fits_square_row(lines[1], next, *order, RowNames::tokens) &&
        fits_square_row(lines[1], next, *order, RowNames::phylip_field)) {
        return RowNames::phylip_field;
    }
    return RowNames::tokens;
}

// Pairs: every line a pair, each with as many fields as the first (a table whose names are
// numbers has a header one field shorter than its rows).
bool reads_as_pairs(const std::vector<std::string_view>& lines) {
    const auto fields_of = [](std::string_view line) {
        std::vector<Field> fields;
        split_fields(line, pairs_split_at_tabs(line) ? '\t' : ' ', fields);
        return fields.size();
    };
    return std::all_of(lines.begin(), lines.end(), is_pair_line) &&
           std::all_of(lines.begin(), lines.end(),
                       [&](std::string_view line) { return fields_of(line) == fields_of(lines[0]); });
}

// Whether the first lines read as a labelled table whose rows are named as its header names its
// columns, in order (a blank delimiter: as R writes it, the header one field shorter or its
// corner quoted empty).
bool reads_as_table(const std::vector<std::string_view>& lines, char delimiter) {
    std::vector<Field> header;
    std::vector<Field> row;
    if (!split_header_and_row(lines, delimiter, header, row)) {
        return false;
    }
    const bool quoted_corner = !header.empty() && header[0].quoted && header[0].begin == header[0].end;
    const bool corner = header.size() == row.size() && (delimiter != ' ' || quoted_corner);
    if (row.size() < 2 || !(corner || header.size() + 1 == row.size())) {
        return false;
    }
    for (std::size_t index = 1; index < lines.size(); ++index) {
        const std::size_t column = index - 1 + (corner ? 1 : 0);
        split_fields(lines[index], delimiter, row, 1);
        if (column >= header.size() || row.empty() ||
            field_text(lines[index], row[0]) != field_text(lines[0], header[column])) {
            return false;
        }
    }
    return true;
}

}  // namespace

std::optional<Layout> layout_named(std::string_view name) {
    for (std::size_t index = 0; index < layout_names.size(); ++index) {
        if (layout_names[index] == name) {
            return static_cast<Layout>(index);
        }
    }
    return std::nullopt;
}

namespace {

// Where the quoted field opened at `open` closes: at the quote that is not doubled, or at the
// line's end when none does (RFC 4180: a quote inside is written twice).
std::size_t closing_quote(std::string_view line, std::size_t open) {
    std::size_t close = open + 1;
    while (close < line.size() && !(line[close] == '"' && (close + 1 >= line.size() || line[close + 1] != '"'))) {
        close += line[close] == '"' ? 2 : 1;
    }
    return close;
}

}  // namespace

char delimiter_of(Layout layout) { return layout == Layout::csv ? ',' : layout == Layout::ssv ? ' ' : '\t'; }

bool pairs_split_at_tabs(std::string_view line) {
    std::vector<Field> fields;
    split_fields(line, '\t', fields, 3);
    return fields.size() == 3 && fields[0].begin < fields[0].end && fields[1].begin < fields[1].end &&
           is_number(line.substr(fields[2].begin, fields[2].end - fields[2].begin));
}

bool is_labelled(Layout layout) { return layout == Layout::tsv || layout == Layout::csv || layout == Layout::ssv; }

bool holds_data_sets(Layout layout) { return layout == Layout::square || layout == Layout::lower; }

namespace {

// Where the field R quoted at `open` closes: at the quote no backslash escapes, or at the
// line's end when none does. As R's read.table reads it, a backslash escapes a quote only;
// before anything else it is itself.
std::size_t closing_r_quote(std::string_view line, std::size_t open) {
    std::size_t close = open + 1;
    while (close < line.size() && line[close] != '"') {
        close += line[close] == '\\' && close + 1 < line.size() && line[close + 1] == '"' ? 2 : 1;
    }
    return std::min(close, line.size());
}

// Where a field quoted at `open` closes, and whether it is quoted as R's write.table quotes
// (a quote inside escaped by a backslash, as R writes tab-separated tables) rather than as RFC
// 4180 (a quote inside doubled): R's, where RFC 4180's reading would leave text after the
// closing quote and a backslash stands before it.
std::pair<std::size_t, bool> quoted_field_end(std::string_view line, std::size_t open, char delimiter) {
    const std::size_t close = closing_quote(line, open);
    const bool clean = close + 1 >= line.size() || line[close + 1] == delimiter;
    if (clean || line[close - 1] != '\\') {
        return {close, false};
    }
    return {closing_r_quote(line, open), true};
}

std::size_t skip_blanks(std::string_view line, std::size_t at) {
    while (at < line.size() && text::is_blank(line[at])) {
        ++at;
    }
    return at;
}

// Blank-separated fields, as R writes them: a quoted field ends at its closing quote.
void split_blank_fields(std::string_view line, std::vector<Field>& fields, std::size_t most) {
    for (std::size_t at = skip_blanks(line, 0); at < line.size() && fields.size() < most; at = skip_blanks(line, at)) {
        if (line[at] == '"') {
            const std::size_t close = closing_r_quote(line, at);
            fields.push_back({at + 1, close, true, true});
            at = std::min(close + 1, line.size());
            continue;
        }
        std::size_t end = at;
        while (end < line.size() && !text::is_blank(line[end])) {
            ++end;
        }
        fields.push_back({at, end, false});
        at = end;
    }
}

bool ends_inside_r_quotes(std::string_view line, std::size_t most) {
    std::size_t fields = 0;
    for (std::size_t at = skip_blanks(line, 0); at < line.size() && fields < most; at = skip_blanks(line, at)) {
        ++fields;
        if (line[at] == '"') {
            const std::size_t close = closing_r_quote(line, at);
            if (close >= line.size()) {
                return true;
            }
            at = close + 1;
            continue;
        }
        while (at < line.size() && !text::is_blank(line[at])) {
            ++at;
        }
    }
    return false;
}

// Whether the line has a tab that no quoted field holds, read as R quotes (a table R wrote
// with its default blank separator holds tabs only inside quoted names).
bool tab_outside_r_quotes(std::string_view line) {
    for (std::size_t at = 0; at < line.size(); ++at) {
        if (line[at] == '"') {
            at = closing_r_quote(line, at);
        } else if (line[at] == '\t') {
            return true;
        }
    }
    return false;
}

}  // namespace

void split_fields(std::string_view line, char delimiter, std::vector<Field>& fields, std::size_t most) {
    fields.clear();
    if (delimiter == ' ') {
        split_blank_fields(line, fields, most);
        return;
    }
    std::size_t at = 0;
    while (fields.size() < most) {
        if (at < line.size() && line[at] == '"') {
            // Quoted: up to the quote that is not doubled (or, R's, not escaped).
            const auto [close, escaped] = quoted_field_end(line, at, delimiter);
            fields.push_back({at + 1, std::min(close, line.size()), true, escaped});
            const std::size_t next = line.find(delimiter, close);
            if (next == std::string_view::npos) {
                return;
            }
            at = next + 1;
            continue;
        }
        const std::size_t next = line.find(delimiter, at);
        if (next == std::string_view::npos) {
            fields.push_back({at, line.size(), false});
            return;
        }
        fields.push_back({at, next, false});
        at = next + 1;
    }
}

bool ends_inside_quotes(std::string_view line, char delimiter, std::size_t most) {
    if (delimiter == ' ') {
        return ends_inside_r_quotes(line, most);
    }
    std::size_t at = 0;
    for (std::size_t fields = 0; fields < most; ++fields) {
        if (at < line.size() && line[at] == '"') {
            const std::size_t close = quoted_field_end(line, at, delimiter).first;
            if (close >= line.size()) {
                return true;
            }
            at = close;
        }
        const std::size_t next = line.find(delimiter, at);
        if (next == std::string_view::npos) {
            return false;
        }
        at = next + 1;
    }
    return false;
}

std::string field_text(std::string_view line, const Field& field) {
    std::string text(line.substr(field.begin, field.end - field.begin));
    if (field.escaped) {
        for (std::size_t at = text.find("\\\""); at != std::string::npos; at = text.find("\\\"", at + 1)) {
            text.erase(at, 1);
        }
    } else if (field.quoted) {
        for (std::size_t at = text.find("\"\""); at != std::string::npos; at = text.find("\"\"", at + 1)) {
            text.erase(at, 1);
        }
    }
    return text;
}

bool starts_with_order(std::string_view start) {
    const std::size_t end = start.find('\n');
    return end != std::string_view::npos && order_on(start.substr(0, end)).has_value();
}

std::optional<std::int64_t> order_at_start(std::string_view start) {
    const std::vector<std::string_view> lines = first_lines(start, true, 1);
    return lines.empty() ? std::nullopt : order_on(lines[0]);
}

LowerShape lower_shape(std::string_view start) {
    if (const Detection detected = detect_layout(start, true); detected.layout == Layout::lower) {
        return {detected.with_diagonal, detected.names};
    }
    const std::vector<std::string_view> lines = first_lines(start, true, 2);
    return {lines.size() == 2 && count_tokens(lines[1]) == 2, RowNames::tokens};
}

RowNames square_row_names(std::string_view start) { return square_names(first_lines(start, true, 3)); }

Detection detect_layout(std::string_view start, bool whole) {
    const std::vector<std::string_view> lines = first_lines(start, whole, 3);
    if (lines.empty()) {
        return {std::nullopt, false, "the file is empty"};
    }
    if (const auto order = order_on(lines[0])) {
        // The order first: a square matrix (whose rows may wrap anywhere), or a lower triangle,
        // whose row 1 holds its name (and perhaps its diagonal) alone and row 2 one more.
        if (count_tokens(lines[0]) == 1 && *order >= 1 && lines.size() >= 2) {
            // Rows of tokens, as most write them; or, where those fit no lower triangle (row 1's
            // "diagonal" no number, say), tab-separated rows whose names may hold blanks, as mash
            // triangle writes them, or PHYLIP's 10-character name fields.
            const bool square_row = count_tokens(lines[1]) == static_cast<std::uint64_t>(*order) + 1;
            for (const RowNames names : {RowNames::tokens, RowNames::to_tabs, RowNames::phylip_field}) {
                const bool tried =
                    names == RowNames::tokens || (!square_row && (names != RowNames::to_tabs || rows_have_tabs(lines)));
                if (const std::optional<bool> diagonal = tried ? lower_rows(lines, *order, names) : std::nullopt) {
                    return {Layout::lower, *diagonal, {}, names};
                }
            }
        }
        return {Layout::square, false, {}, square_names(lines)};
    }
    // A blank line among pairs lines is passed over by the pairs reader: it keeps them pairs.
    std::vector<std::string_view> filled;
    for (const std::string_view line : first_lines(start, whole, 12)) {
        if (count_tokens(line) > 0 && filled.size() < lines.size()) {
            filled.push_back(line);
        }
    }
    if (!filled.empty() && reads_as_pairs(filled)) {
        if (reads_as_table(filled, '\t') || reads_as_table(filled, ',') || reads_as_table(filled, ' ')) {
            return {std::nullopt, false, "the first lines read as pairs and as a labelled table alike"};
        }
        return {Layout::pairs, false, {}};
    }
    const bool tsv = fits_table(lines, '\t');
    const bool csv = fits_table(lines, ',');
    if (tsv && csv) {
        return {std::nullopt, false, "the first lines read as a table with tabs and with commas alike"};
    }
    if (tsv || csv) {
        return {tsv ? Layout::tsv : Layout::csv, false, {}};
    }
    if (!tab_outside_r_quotes(lines[0]) && reads_as_table(lines, ' ')) {
        return {Layout::ssv, false, {}};
    }
    if (count_tokens(lines[0]) == 1) {
        return {Layout::square, false, {}};  // an order that is no number: the square reader says so
    }
    return {std::nullopt, false,
            "the first lines fit no layout (no order first, no header and row of equal fields, no pairs)"};
}

}  // namespace orvane
