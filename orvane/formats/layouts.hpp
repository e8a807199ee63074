// The distance-matrix layouts batch mode reads and writes, and how a file's layout is told from
// its first lines.
#pragma once

#include "orvane/parse/row_names.hpp"

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orvane {

// square: the order, then per row a name and order values (rows may wrap); lower: the order,
// then row i with its name and the i - 1 values before the diagonal (or i, the diagonal too);
// tsv and csv: a header row of names, then one row per name; ssv: the same separated by blanks, as
// R's write.table writes it (the header one field shorter, names quoted); pairs: one line per
// pair of IDs, "a b d".
enum class Layout { square, lower, tsv, csv, pairs, ssv, count };

// Each layout's name on the command line, in the enum's order.
inline constexpr std::array<std::string_view, static_cast<std::size_t>(Layout::count)> layout_names = {
    "square", "lower", "tsv", "csv", "pairs", "ssv"};

// Whether the layout names its columns (so its values can be written as they were read).
bool is_labelled(Layout layout);
// Whether a file of the layout may hold several data sets, one after another.
bool holds_data_sets(Layout layout);

std::optional<Layout> layout_named(std::string_view name);

// The layout of a matrix whose first bytes are `start` (all of the file when `whole`), or why
// it cannot be told.
struct Detection {
    std::optional<Layout> layout;
    bool with_diagonal = false;  // lower: each row holds its diagonal value too
    std::string why;
    RowNames names = RowNames::tokens;  // square and lower: how the rows hold their names
};
Detection detect_layout(std::string_view start, bool whole);

// Whether the first line of `start` is whole and holds a matrix order, as square matrices and
// lower triangles begin.
bool starts_with_order(std::string_view start);

// The order on the first line of `start`, when it holds one.
std::optional<std::int64_t> order_at_start(std::string_view start);

// A lower triangle's shape, from its first rows: whether they hold the diagonal, and whether
// their names run to tabs.
struct LowerShape {
    bool with_diagonal = false;
    RowNames names = RowNames::tokens;
};
LowerShape lower_shape(std::string_view start);

// How a square matrix's rows hold their names, from its first lines.
RowNames square_row_names(std::string_view start);

// A field of a line of a labelled table: where its text lies in the line, without the quotes
// around it when it was quoted (RFC 4180: a quote inside is written twice).
struct Field {
    std::size_t begin;
    std::size_t end;
    bool quoted;
    bool escaped = false;  // quoted as R quotes: a backslash before a quote
};

// Splits a line (without its line break) into `fields` (the blank delimiter ' ' splits at runs of
// blanks, leading ones skipped, as R's read.table does), reused from line to line; at most
// `most` fields are taken (the last of them then ends at the next delimiter).
void split_fields(std::string_view line, char delimiter, std::vector<Field>& fields,
                  std::size_t most = static_cast<std::size_t>(-1));
// Whether the line ends inside a quoted field among its first `most` fields: the field then
// goes on past the line break (RFC 4180), on the next line.
bool ends_inside_quotes(std::string_view line, char delimiter, std::size_t most = static_cast<std::size_t>(-1));
// A field's text, a doubled quote inside a quoted field read as one.
std::string field_text(std::string_view line, const Field& field);

char delimiter_of(Layout layout);

// Whether a pairs file whose first pair line is `line` splits its lines at tabs (so IDs may hold
// blanks, even at their ends), rather than at runs of blanks: where its first three tab-separated
// fields are two IDs and a number.
bool pairs_split_at_tabs(std::string_view line);

}  // namespace orvane
