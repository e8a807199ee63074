#include "support/reference.hpp"

#include <algorithm>
#include <optional>

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
std::vector<std::vector<std::string>> reference_records(const std::string& whole,
                                                        const std::vector<std::string>& names) {
    std::vector<std::vector<std::string>> records(names.size());
    const std::string content = whole.starts_with("\xEF\xBB\xBF") ? whole.substr(3) : whole;
    // The first record begins at the first line that begins with '>': lines before it are
    // passed over (text before the first header is no record).
    const std::size_t start = content.starts_with('>') ? 0 : content.find("\n>");
    std::size_t at = start == std::string::npos ? content.size() : content.find('>', start) + 1;
    bool at_end = start == std::string::npos;
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

namespace {

std::string without_cr(std::string line) {
    if (!line.empty() && line.back() == '\r') {
        line.pop_back();
    }
    return line;
}

// The line from `at` (without its line break), moving `at` past it; none at the end.
std::optional<std::string> next_line(const std::string& content, std::size_t& at) {
    if (at >= content.size()) {
        return std::nullopt;
    }
    const std::size_t end = content.find('\n', at);
    std::string line = content.substr(at, end == std::string::npos ? std::string::npos : end - at);
    at = end == std::string::npos ? content.size() : end + 1;
    return line;
}

}  // namespace

bool reference_is_fastq(const std::string& content) {
    const std::size_t start = content.starts_with("\xEF\xBB\xBF") ? 3 : 0;
    const std::size_t first = content.find_first_not_of(" \t\r\n", start);
    return first != std::string::npos && content[first] == '@' && (first == start || content[first - 1] == '\n');
}

FastqReference reference_fastq_records(const std::string& content, const std::vector<std::string>& names) {
    FastqReference result;
    result.texts.resize(names.size());
    std::size_t at = content.starts_with("\xEF\xBB\xBF") ? 3 : 0;
    for (;;) {
        std::size_t next = at;
        const std::optional<std::string> first = next_line(content, next);
        if (!first) {
            return result;
        }
        if (first->find_first_not_of(" \t\r") == std::string::npos) {
            at = next;  // a blank line
            continue;
        }
        if ((*first)[0] != '@') {
            result.malformed = true;
            return result;
        }
        const std::size_t start = at + 1;
        const std::string header = without_cr(first->substr(1));
        at = next;
        std::size_t bases = 0;
        bool plus_line = false;
        while (const std::optional<std::string> line = next_line(content, at)) {
            const std::string text = without_cr(*line);
            if (text.starts_with('+')) {
                plus_line = true;
                break;
            }
            if (text.starts_with('@')) {
                break;
            }
            bases += text.size();
        }
        std::size_t quality = 0;
        bool quality_line = false;
        for (std::size_t after = at; !quality_line || quality < bases; after = at) {
            const std::optional<std::string> line = next_line(content, after);
            if (!line) {
                break;
            }
            const std::string text = without_cr(*line);
            if ((bases == 0 && !text.empty()) ||
                (quality > 0 && quality + text.size() > bases && text.starts_with('@'))) {
                break;
            }
            quality += text.size();
            quality_line = true;
            at = after;
        }
        if (!plus_line || quality != bases) {
            result.malformed = true;
            return result;
        }
        std::string record = "@" + content.substr(start, at - start);
        if (record.back() != '\n') {
            record += '\n';
        }
        const std::int64_t taker = first_listed_prefix(names, header);
        for (std::size_t position = 0; taker >= 0 && position < names.size(); ++position) {
            if (names[position] == names[static_cast<std::size_t>(taker)]) {
                result.texts[position] += record;
            }
        }
    }
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
