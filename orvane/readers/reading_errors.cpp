#include "orvane/readers/reading_errors.hpp"

#include "text/quoting.hpp"

namespace orvane {

std::string no_number(std::string_view row, std::string_view text, std::string_view column) {
    std::string said = "row " + text::quoted(row);
    if (!column.empty()) {
        said += ", column " + text::quoted(column);
    }
    return said + ": " + text::quoted(text) + " is no number";
}

std::string twice_named(std::string_view id, std::int64_t first_row, std::int64_t second_row) {
    return "the ID " + text::quoted(id) + " names rows " + std::to_string(first_row + 1) + " and " +
           std::to_string(second_row + 1);
}

io::IoError token_stop(TokenReader& reader, std::string_view row_name, std::string ended) {
    const io::ReadBuffer& input = reader.input();
    if (reader.stop() == TokenReader::Stop::read_error) {
        return *input.error();
    }
    if (reader.stop() == TokenReader::Stop::no_number) {
        return io::IoError::bad_content(input.name(), no_number(row_name, reader.text_at_cursor()), reader.line());
    }
    return io::IoError::bad_content(input.name(), std::move(ended));
}

}  // namespace orvane
