// Reading the ID list and the input distance matrix.
#pragma once

#include "front/dialogue.hpp"
#include "io/io_error.hpp"
#include "text/name_list.hpp"
#include "orvane/token_reader.hpp"
#include "threads/helper.hpp"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace orvane {

// The IDs to write and, per distinct ID, the matrix row that supplied it: the listed IDs, or
// (exclusion) every row's ID but the listed ones, in matrix order, gathered as the rows are read.
class IdTable {
public:
    static constexpr std::int32_t not_found = -1;

    // Whether the list names the IDs to take, or the IDs to leave out of every row's.
    enum class Listing { taken, excluded };

    // Takes the list as read; may throw std::bad_alloc.
    explicit IdTable(text::NameList ids, Listing listing = Listing::taken);

    const text::NameList& ids() const { return ids_; }
    std::size_t size() const { return ids_.size(); }
    // The length of the longest ID: a longer row name matches none, and need not be held whole.
    std::size_t longest_name() const { return longest_name_; }
    bool excludes() const { return excluded_.has_value(); }
    // The slot that a row named `name` fills, or -1 for a row not taken. Excluding, a name not
    // seen before gets the next slot.
    std::int64_t slot_of_row(std::string_view name);
    // How many rows of distances a matrix of `order` columns needs.
    std::size_t slots_for(std::size_t order) const { return excluded_ ? order : ids_.slot_count(); }
    // Excluding: the IDs gathered become the table's, in the order their rows came.
    void take_gathered_ids();
    // Before the next data set: no row found yet; excluding, no ID gathered.
    void forget_rows();
    // Excluding: how many of the listed IDs named a row.
    std::size_t excluded_seen() const;

    // The 0-based matrix row of a slot, or not_found.
    std::int32_t matrix_row(std::uint32_t slot) const { return matrix_row_[slot]; }
    void set_matrix_row(std::uint32_t slot, std::int32_t row) { matrix_row_[slot] = row; }
    bool found_at(std::size_t position) const { return matrix_row_[ids_.slot(position)] != not_found; }

    // The name every output gives an ID: its own, or the short one given for its slot.
    std::string_view written_name(std::size_t position) const {
        return short_names_.empty() ? ids_.name(position) : std::string_view(short_names_[ids_.slot(position)]);
    }
    void rename(std::vector<std::string> per_slot) { short_names_ = std::move(per_slot); }

private:
    struct Exclusion {
        text::NameList excluded;
        std::vector<bool> seen;
        std::vector<std::string> gathered;
        std::unordered_map<std::string, std::uint32_t> slot_of_gathered;
    };
    text::NameList ids_;
    std::vector<std::int32_t> matrix_row_;
    std::size_t longest_name_ = 0;
    std::optional<Exclusion> excluded_;
    std::vector<std::string> short_names_;
};

// One distance row per slot, in the input matrix's column order, as float (the dialogue, which
// rounds through single precision as it always has) or double (batch mode, where the six
// decimals written are the six read). Deliberately left uninitialised: a huge declared order
// must cost nothing until rows are actually read.
template <typename Distance>
class DistanceRows {
public:
    DistanceRows(std::size_t slot_count, std::size_t order);
    Distance* row(std::uint32_t slot) { return values_.get() + slot * order_; }
    const Distance* row(std::uint32_t slot) const { return values_.get() + slot * order_; }

private:
    std::unique_ptr<Distance[]> values_;
    std::size_t order_;
};

// How strictly the matrix is read. The dialogue reads as the stream does: junk glued to a
// number is the next token, and a row that cannot be read leaves its ID and every later one
// unfound. Batch mode wants every distance of a listed row to be a number, whole.
enum class Strictness { as_the_stream, whole_numbers };

// Every token of the list file, each an ID; their number is the list count.
text::NameList read_id_tokens(TokenReader& list);

// The declared order, or 0 when the first token is no 32-bit integer.
std::int32_t read_matrix_order(TokenReader& matrix);

// Fills the rows of the listed IDs and draws the reading meter (the caller ends its line). A
// row whose distances cannot all be read leaves its ID unfound, so nothing unset is ever
// written out. When the matrix could not be read to its last row, says where and why.
// On two cores the plain listed rows are converted alongside the scan (`cores` may force either).
template <typename Distance>
std::optional<io::IoError> read_distance_matrix(TokenReader& matrix, IdTable& ids, std::int32_t order,
                                                DistanceRows<Distance>& rows, Strictness strictness,
                                                console::Meter& meter,
                                                threads::Cores cores = threads::Cores::from_affinity);

// The declared order as batch mode reads it: the whole first token must be a number of 32 bits
// ("3x" is none, "99999999999" too large); says why when it is not.
std::optional<io::IoError> read_whole_order(TokenReader& matrix, std::int32_t& order);

// The order in a token already taken (the token after a data set, starting the next), as
// read_whole_order reads it.
std::optional<io::IoError> order_in_token(const std::string& token, const TokenReader& matrix, std::int32_t& order);

// After data set `number`'s last row: nothing (an empty `order_token`), or a whole number (into
// `order_token`) that starts the next data set, as PHYLIP's programs write bootstrap replicates
// one after another; anything else, which would be lost without a word, is the error returned.
std::optional<io::IoError> take_next_order(TokenReader& matrix, std::uint32_t number, std::string& order_token);

// Why the order could not be read, for a matrix whose first token is no order.
io::IoError describe_unreadable_order(TokenReader& matrix);

}  // namespace orvane
