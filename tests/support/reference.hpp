// Straightforward readings of the programs' input files, written for clarity rather than speed:
// the references the fast readers are tested and fuzzed against.
#pragma once

#include <random>
#include <string_view>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace testing_support {

// The first position whose name begins the header, by scanning the whole list.
std::int64_t first_listed_prefix(const std::vector<std::string>& names, std::string_view header);

// The records each listed position receives from the FASTA text, each as it is to be written.
std::vector<std::vector<std::string>> reference_records(const std::string& content,
                                                        const std::vector<std::string>& names);

// What a FASTQ text gives each listed position (prefix matching), the records each position
// receives written one after another; and whether a malformed record ended the records.
struct FastqReference {
    std::vector<std::string> texts;
    bool malformed = false;
};
FastqReference reference_fastq_records(const std::string& content, const std::vector<std::string>& names);

// Whether talmiro reads the text as FASTQ: its first non-blank byte, after a byte order mark,
// is an '@' beginning a line.
bool reference_is_fastq(const std::string& content);

// The names of a talmiro list file: every non-empty line, without a carriage return ending it.
std::vector<std::string> reference_list_lines(const std::string& content);

// Up to `max_length` bytes drawn from `alphabet`.
inline std::string random_text(std::mt19937& random, std::size_t max_length, std::string_view alphabet) {
    std::string text(random() % (max_length + 1), ' ');
    for (char& c : text) {
        c = alphabet[random() % alphabet.size()];
    }
    return text;
}

}  // namespace testing_support
