#include "orvane/parse/token_reader.hpp"

#include "orvane/parse/number_parsing.hpp"
#include "orvane/parse/token_skipping.hpp"

#include <algorithm>
#include <limits>
#include <utility>

namespace orvane {

namespace {
constexpr bool is_digit(int c) { return c >= '0' && c <= '9'; }
}  // namespace

TokenReader::TokenReader(io::InputFile file, std::size_t buffer_size, io::ReadBuffer::Access access)
    : input_(std::move(file), buffer_size, access) {
    input_.count_lines();  // for messages that name the line of a bad value
}

TokenReader::TokenReader(io::ReadBuffer input) : input_(std::move(input)) { input_.count_lines(); }

int TokenReader::peek() {
    if (input_.pos() == input_.end() && !input_.refill()) {
        return end_of_input;
    }
    return static_cast<unsigned char>(input_.data()[input_.pos()]);
}

bool TokenReader::skip_whitespace() {
    do {
        const char* const data = input_.data();
        std::size_t pos = input_.pos();
        const std::size_t end = input_.end();
        while (pos < end && is_blank(data[pos])) {
            ++pos;
        }
        input_.set_pos(pos);
        if (pos < end) {
            return true;
        }
    } while (input_.refill());
    return false;
}

bool TokenReader::skip_to_blank(std::size_t* keep) {
    do {
        const char* const data = input_.data();
        std::size_t pos = input_.pos();
        const std::size_t end = input_.end();
        while (pos < end && !is_blank(data[pos])) {
            ++pos;
        }
        input_.set_pos(pos);
        if (pos < end) {
            return true;
        }
    } while (keep != nullptr ? input_.refill(*keep) : input_.refill());
    return false;
}

std::string_view TokenReader::take_token() {
    if (failed_ || !skip_whitespace()) {
        fail(Stop::end_of_input);
        return {};
    }
    std::size_t start = input_.pos();
    skip_to_blank(&start);
    return {input_.data() + start, input_.pos() - start};
}

bool TokenReader::take_name(std::size_t longest, std::string& name) {
    switch (names_) {
    case RowNames::to_tabs:
        return take_name_to_tab(longest, name);
    case RowNames::phylip_field:
        return take_phylip_name(longest, name);
    case RowNames::tokens:
        break;
    }
    return take_token_name(longest, name);
}

bool TokenReader::take_token_name(std::size_t longest, std::string& name) {
    name.clear();
    if (failed_ || !skip_whitespace()) {
        fail(Stop::end_of_input);
        return false;
    }
    // Like skip_to_blank with the start kept, but only while the token could still be a name.
    std::size_t start = input_.pos();
    for (;;) {
        const char* const data = input_.data();
        const std::size_t end = std::min(input_.end(), start + longest + 1);
        std::size_t pos = input_.pos();
        while (pos < end && !is_blank(data[pos])) {
            ++pos;
        }
        input_.set_pos(pos);
        if (pos < input_.end() && (pos < end || pos - start > longest)) {
            break;  // a blank, or more than any name holds
        }
        if (!input_.refill(start)) {
            break;
        }
    }
    name.assign(input_.data() + start, input_.pos() - start);
    if (name.size() <= longest) {
        return true;
    }
    skip_to_blank(nullptr);  // the rest of a token no name can equal, not kept
    return false;
}

bool TokenReader::take_name_to_tab(std::size_t longest, std::string& name) {
    name.clear();
    if (failed_ || !skip_whitespace()) {
        fail(Stop::end_of_input);
        return false;
    }
    // Kept a window at a time, only its first longest + 2 bytes (a carriage return may end it),
    // so that memory stays bounded whatever its length.
    std::size_t length = 0;
    for (;;) {
        const char* const data = input_.data();
        const std::size_t start = input_.pos();
        std::size_t pos = start;
        while (pos < input_.end() && data[pos] != '\t' && data[pos] != '\n') {
            ++pos;
        }
        const std::size_t room = longest + 2 - std::min(name.size(), longest + 2);
        name.append(data + start, std::min(pos - start, room));
        length += pos - start;
        input_.set_pos(pos);
        if (pos < input_.end()) {
            break;
        }
        if (!input_.refill()) {
            break;
        }
    }
    if (length <= longest + 1 && name.ends_with('\r')) {
        name.pop_back();
        --length;
    }
    return length <= longest;
}

bool TokenReader::take_phylip_name(std::size_t longest, std::string& name) {
    name.clear();
    if (failed_ || !skip_whitespace()) {
        fail(Stop::end_of_input);
        return false;
    }
    // The field's 10 bytes, or fewer where the line ends first; trailing blanks pad it.
    for (int c = peek(); name.size() < phylip_name_width && c != end_of_input && c != '\n'; c = peek()) {
        name.push_back(static_cast<char>(c));
        advance();
    }
    while (!name.empty() && is_blank(name.back())) {
        name.pop_back();
    }
    return name.size() <= longest;
}

bool TokenReader::skip_token() {
    if (failed_ || !skip_whitespace()) {
        fail(Stop::end_of_input);
        return false;
    }
    skip_to_blank(nullptr);
    return true;
}

bool TokenReader::skip_tokens(std::uint64_t count) {
    if (failed_) {
        return false;
    }
    if (count == 0) {
        return true;
    }
    // The cursor stands where skip_token would start: whatever precedes it does not join the
    // first token, hence in_token false.
    SkipProgress progress{input_.pos(), count, false};
    for (;;) {
        const char* const data = input_.data();
        const std::size_t end = input_.end();
        progress = skip_token_starts(data, end, progress);
        for (; progress.remaining > 0 && progress.pos < end; ++progress.pos) {
            const bool nonblank = !is_blank(data[progress.pos]);
            if (nonblank && !progress.in_token && --progress.remaining == 0) {
                break;
            }
            progress.in_token = nonblank;
        }
        input_.set_pos(progress.pos);
        if (progress.remaining == 0) {
            skip_to_blank(nullptr);  // the rest of the last token
            return true;
        }
        if (!input_.refill()) {
            fail(Stop::end_of_input);
            return false;
        }
        progress.pos = input_.pos();
    }
}

bool TokenReader::read_int32(std::int32_t& value) {
    value = 0;
    if (failed_ || !skip_whitespace()) {
        fail(Stop::end_of_input);
        return false;
    }
    int c = peek();
    const bool negative = c == '-';
    if (c == '-' || c == '+') {
        advance();
        c = peek();
    }
    // Saturates far above the 32-bit range, so any longer run of digits is still an overflow.
    constexpr std::int64_t ceiling = std::int64_t{1} << 40;
    std::int64_t magnitude = 0;
    bool any_digit = false;
    while (is_digit(c)) {
        any_digit = true;
        magnitude = std::min(ceiling, magnitude * 10 + (c - '0'));
        advance();
        c = peek();
    }
    const std::int64_t signed_value = negative ? -magnitude : magnitude;
    if (!any_digit || signed_value < std::numeric_limits<std::int32_t>::min() ||
        signed_value > std::numeric_limits<std::int32_t>::max()) {
        fail(Stop::no_number);
        return false;
    }
    value = static_cast<std::int32_t>(signed_value);
    return true;
}

template <typename T>
bool TokenReader::read_numbers(T* into, std::size_t count, Glued glued) {
    for (std::size_t index = 0; index < count; ++index) {
        if (!read_number(into[index], glued)) {
            return false;
        }
    }
    return true;
}

template <typename T>
bool TokenReader::read_number(T& value, Glued glued) {
    value = 0;
    if (failed_ || !skip_whitespace()) {
        fail(Stop::end_of_input);
        return false;
    }
    const char* stop = parse_number(input_.data() + input_.pos(), input_.data() + input_.end(), value);
    if (stop == nullptr || stop == input_.data() + input_.end()) {
        // The number may have been cut by the end of the window: see the token whole (a blank or
        // the end of the file ends any number) and read it again.
        std::size_t start = input_.pos();
        skip_to_blank(&start);
        input_.set_pos(start);
        stop = parse_number(input_.data() + start, input_.data() + input_.end(), value);
    }
    const bool whole = stop != nullptr && (stop == input_.data() + input_.end() || is_blank(*stop));
    if (stop == nullptr || (glued == Glued::refused && !whole)) {
        value = 0;
        fail(Stop::no_number);
        return false;
    }
    if (kept_ != nullptr) {
        const char* const begin = input_.data() + input_.pos();
        kept_->add({begin, static_cast<std::size_t>(stop - begin)});
    }
    input_.set_pos(static_cast<std::size_t>(stop - input_.data()));
    return true;
}

template bool TokenReader::read_number(float&, Glued);
template bool TokenReader::read_number(double&, Glued);
template bool TokenReader::read_numbers(float*, std::size_t, Glued);
template bool TokenReader::read_numbers(double*, std::size_t, Glued);

std::string_view TokenReader::text_at_cursor() {
    constexpr std::size_t longest_shown = 40;
    const std::string_view ahead = input_.peek(longest_shown);
    const std::string_view shown = ahead.substr(0, longest_shown);
    return shown.substr(0,
                        static_cast<std::size_t>(std::find_if(shown.begin(), shown.end(), is_blank) - shown.begin()));
}

void TokenReader::return_to(std::size_t cursor) {
    input_.set_pos(cursor);
    failed_ = false;
    stop_ = Stop::none;
}

void TokenReader::fail(Stop why) {
    if (!failed_) {
        failed_ = true;
        // The end of what could be read is a read error when the source says so.
        stop_ = why == Stop::end_of_input && input_.error() ? Stop::read_error : why;
    }
}

}  // namespace orvane
