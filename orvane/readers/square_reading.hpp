// Reading the ID list and the input distance matrix.
#pragma once

#include "io/io_error.hpp"
#include "io/progress.hpp"
#include "orvane/model/data_set.hpp"
#include "orvane/model/distance_rows.hpp"
#include "orvane/model/id_table.hpp"
#include "orvane/parse/token_reader.hpp"
#include "text/name_list.hpp"
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

// How strictly the matrix is read. The dialogue reads as the stream does: junk glued to a
// number is the next token, and a row that cannot be read leaves its ID and every later one
// unfound. Batch mode wants every distance of a listed row to be a number, whole.
enum class Strictness { as_the_stream, whole_numbers };

// Every token of the list file, each an ID; their number is the list count.
text::NameList read_id_tokens(TokenReader& list);

// The declared order, or 0 when the first token is no 32-bit integer.
std::int32_t read_matrix_order(TokenReader& matrix);

// Fills the rows of the listed IDs and tells `progress` how far the rows have come. A
// row whose distances cannot all be read leaves its ID unfound, so nothing unset is ever
// written out. When the matrix could not be read to its last row, says where and why.
// On two cores the plain listed rows are converted alongside the scan (`cores` may force either).
// With `texts`, each listed value's text is kept there too.
template <typename Distance>
std::optional<io::IoError> read_distance_matrix(TokenReader& matrix, IdTable& ids, std::int32_t order,
                                                DistanceRows<Distance>& rows, ValueTexts* texts, Strictness strictness,
                                                const io::Progress& progress,
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
