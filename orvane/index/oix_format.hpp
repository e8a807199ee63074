// The .oix: where each row of a matrix file begins, so that a cut reads only the listed rows.
// Our own format, little-endian: the common header ("ORVANOIX", the version, flags (1: the
// lower triangle's rows hold their diagonal; 2: every value of the square matrix is a number;
// 4: the rows' names run to a tab; 8: they are PHYLIP's 10-character field),
// who the file is and its content's checksum); then the body: the layout's name (its length,
// then its bytes) and the number of data sets; then for each data set its order, where its last
// row ends, and for each row where it begins and its name (the name's length, then its bytes);
// then the body's block checksums. A matrix has rows by the thousand, not the million: the body
// is read and checked whole.
#pragma once

#include "index/index_file.hpp"
#include "io/mapped_file.hpp"
#include "io/output_file.hpp"
#include "orvane/formats/layouts.hpp"
#include "orvane/parse/row_names.hpp"

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
    Layout layout = Layout::square;
    bool with_diagonal = false;
    RowNames names = RowNames::tokens;
    // Every value was read as a number when the index was made, so a cut need convert only the
    // listed columns of a listed row: a whole-file read would find no fault in the others.
    bool values_checked = false;
    std::vector<IndexedDataSet> data_sets;
};

// Writes the .oix of `index`, for the file `identity` names.
void write_oix(io::OutputFile& output, const indexing::IndexHeader& identity, const RowIndex& index);

// The .oix at `path`, checked whole; throws Untrusted where it is no .oix of this version, or
// damaged. Its header says whose it is.
RowIndex read_oix(const indexing::IndexFile& file);
indexing::IndexFile open_oix(const std::string& path);

}  // namespace orvane
