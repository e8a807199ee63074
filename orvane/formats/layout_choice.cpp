#include "orvane/formats/layout_choice.hpp"

#include "io/io_error.hpp"

#include <algorithm>

namespace orvane {

namespace {

// Detection looks at the first few lines. A square matrix or lower triangle shows its layout in
// its first megabyte, and a row nobody lists is never held whole, however long; a labelled
// table's header and first row are read whole (a table of 50,000 names has a header of
// megabytes), from every source alike, up to a bound well past any real table.
constexpr std::size_t longest_first_lines = std::size_t{256} << 20;

// The first lines of the input: whole, or all of it (`whole` then true), or as much as the
// bounds allow.
std::string_view read_first_lines(io::ReadBuffer& input, bool& whole) {
    std::string_view start = input.peek(enough_for_an_order);
    whole = start.size() < enough_for_an_order;
    for (std::size_t wanted = 2 * enough_for_an_order; !whole && !starts_with_order(start);
         wanted = std::min(2 * wanted, longest_first_lines)) {
        if (static_cast<std::size_t>(std::count(start.begin(), start.end(), '\n')) >= 3 ||
            start.size() >= longest_first_lines) {
            break;
        }
        start = input.peek(wanted);
        whole = start.size() < wanted;
    }
    return start;
}

}  // namespace

RowNames square_names_of(io::ReadBuffer& input) {
    input.skip_byte_order_mark();
    bool whole = false;
    return square_row_names(read_first_lines(input, whole));
}

std::optional<io::IoError> choose_layout(io::ReadBuffer& input, std::optional<Layout> named, Detection& detection) {
    input.skip_byte_order_mark();
    bool whole = false;
    const std::string_view start = read_first_lines(input, whole);
    if (named) {
        const LowerShape lower = *named == Layout::lower ? lower_shape(start) : LowerShape{};
        const RowNames names = *named == Layout::square ? square_row_names(start) : lower.names;
        detection = {*named, lower.with_diagonal, {}, names};
        return std::nullopt;
    }
    detection = detect_layout(start, whole);
    if (!detection.layout) {
        // Data that could not be read (damaged, say) is what to tell, not what little was read.
        if (input.error()) {
            return *input.error();
        }
        const std::string why =
            !whole && start.size() >= longest_first_lines ? "its first lines are longer than 256 MB" : detection.why;
        return io::IoError::bad_content(input.name(),
                                        "cannot tell its layout: " + why + "; name it with --input-format");
    }
    return std::nullopt;
}

}  // namespace orvane
