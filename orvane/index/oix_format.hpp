// The .oix: where each row of a matrix file begins, so that a cut reads only the listed rows.
// Our own format, little-endian: "ORVANOIX", the version (1), flags (1: the lower triangle's
// rows hold their diagonal; 2: every value of the square matrix is a number), the file's size and modification time
// (seconds, nanoseconds), the layout's name (its length, then its bytes) and the number of data sets; then for each
// data set its order, where its last row ends, and for each row where it begins and its name (the name's length, then
// its bytes).
#pragma once

#include "io/mapped_file.hpp"
#include "orvane/formats/layouts.hpp"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orvane {

inline constexpr std::string_view oix_suffix = ".oix";

struct IndexedRow {
    std::uint64_t offset;  // where the row begins (the blank before its name may come first)
    std::string name;
};

struct IndexedDataSet {
    std::int32_t order = 0;
    std::uint64_t end = 0;  // where its last row ends
    std::vector<IndexedRow> rows;
};

struct RowIndex {
    io::FileStamp stamp;
    Layout layout = Layout::square;
    bool with_diagonal = false;
    // Every value was read as a number when the index was made, so a cut need convert only the
    // listed columns of a listed row: a whole-file read would find no fault in the others.
    bool values_checked = false;
    std::vector<IndexedDataSet> data_sets;
};

std::string oix_bytes(const RowIndex& index);
// The index the bytes hold, or nothing with `why_not` saying what is wrong with them.
std::optional<RowIndex> parse_oix(std::string_view bytes, std::string& why_not);

}  // namespace orvane
