#include "support/reference.hpp"

#include <algorithm>

namespace testing_support {

std::int64_t first_listed_prefix(const std::vector<std::string>& names, std::string_view header) {
    for (std::size_t position = 0; position < names.size(); ++position) {
        if (header.substr(0, names[position].size()) == names[position]) {
            return static_cast<std::int64_t>(position);
        }
    }
    return -1;
}

// The records each listed position should receive, worked out on the whole text at once: the
// straightforward reading of a FASTA file that the streaming reader must agree with.
std::vector<std::vector<std::string>> reference_records(const std::string& content,
                                                        const std::vector<std::string>& names) {
    std::vector<std::vector<std::string>> records(names.size());
    // The first byte is the first record's '>', whatever it is, unless whole blank lines come
    // before a '>': then they and the '>' go.
    std::size_t at = content.empty() ? 0 : 1;
    const std::size_t first_other = content.find_first_not_of(" \t\r\n");
    if (first_other != std::string::npos && content[first_other] == '>') {
        const std::size_t last_line_end = content.rfind('\n', first_other);
        if (last_line_end != std::string::npos && last_line_end + 1 == first_other) {
            at = first_other + 1;
        }
    }
    bool at_end = false;
    while (!at_end) {
        const std::size_t line_end = content.find('\n', at);
        std::string header;
        if (line_end == std::string::npos) {
            header = content.substr(std::min(at, content.size()));
            at = content.size();
            at_end = true;
        } else {
            header = content.substr(at, line_end - at);
            at = line_end + 1;
        }
        std::string text;
        if (!at_end) {
            const std::size_t next = content.find('>', at);
            if (next == std::string::npos) {
                text = content.substr(at);
                at = content.size();
                at_end = true;
            } else {
                text = content.substr(at, next - at);
                at = next + 1;
            }
        }
        std::string matched = header;
        if (!matched.empty() && matched.back() == '\r') {
            matched.pop_back();
        }
        const std::int64_t first = first_listed_prefix(names, matched);
        if (first < 0) {
            continue;
        }
        if (!text.empty() && text.back() != '\n') {
            text += '\n';
        }
        // Every place of the same name receives the record.
        for (std::size_t position = 0; position < names.size(); ++position) {
            if (names[position] == names[static_cast<std::size_t>(first)]) {
                records[position].push_back(">" + header + "\n" + text);
            }
        }
    }
    return records;
}

std::vector<std::string> reference_list_lines(const std::string& content) {
    std::vector<std::string> names;
    std::size_t at = content.starts_with("\xEF\xBB\xBF") ? 3 : 0;  // a byte order mark is no text
    while (at < content.size()) {
        std::size_t end = content.find('\n', at);
        if (end == std::string::npos) {
            end = content.size();
        }
        std::string line = content.substr(at, end - at);
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (!line.empty()) {
            names.push_back(line);
        }
        at = end + 1;
    }
    return names;
}

}  // namespace testing_support
