#include "talmiro/records/mate_check.hpp"

#include "text/quoting.hpp"

#include <algorithm>

namespace talmiro {

namespace {

// The archive's style of the two first words, where they differ only in a final .1/.2 or _1/_2.
std::optional<char> archive_style(std::string_view first, std::string_view second) {
    if (first.size() < 2 || first.size() != second.size() || first == second) {
        return std::nullopt;
    }
    const std::size_t end = first.size();
    const char separator = first[end - 2];
    const bool styled = (separator == '.' || separator == '_') && second[end - 2] == separator &&
                        first.substr(0, end - 1) == second.substr(0, end - 1) &&
                        std::string_view("12").find(first[end - 1]) != std::string_view::npos &&
                        std::string_view("12").find(second[end - 1]) != std::string_view::npos;
    return styled ? std::optional(separator) : std::nullopt;
}

std::string_view word_at(const std::vector<std::uint32_t>& ends, std::string_view words, std::size_t at) {
    const std::uint32_t start = at == 0 ? 0 : ends[at - 1];
    return words.substr(start, ends[at] - start);
}

}  // namespace

std::string_view without_mate_number(std::string_view word) {
    if (word.size() >= 2 && word[word.size() - 2] == '/' && (word.back() == '1' || word.back() == '2')) {
        word.remove_suffix(2);
    }
    return word;
}

MateCheck::MateCheck(std::vector<std::string> names) : names_(std::move(names)), inputs_(names_.size()) {}

void MateCheck::read_in_parallel() {
    const std::lock_guard<std::mutex> lock(mutex_);
    in_parallel_ = true;
}

std::string_view MateCheck::mate_name(std::string_view word) const {
    word = without_mate_number(word);
    if (archive_style_ && word.size() >= 2 && word[word.size() - 2] == *archive_style_ &&
        (word.back() == '1' || word.back() == '2')) {
        word.remove_suffix(2);
    }
    return word;
}

bool MateCheck::add(std::size_t nth, std::string_view word) {
    Stretch& filling = inputs_[nth].filling;
    filling.words.append(word);
    filling.ends.push_back(static_cast<std::uint32_t>(filling.words.size()));
    if (filling.ends.size() < stretch_records) {
        return true;
    }
    std::unique_lock<std::mutex> lock(mutex_);
    hand_over(nth, lock);
    return !fault_;
}

void MateCheck::finish(std::size_t nth) {
    std::unique_lock<std::mutex> lock(mutex_);
    inputs_[nth].finished = true;
    hand_over(nth, lock);
}

std::optional<std::string> MateCheck::fault() const {
    const std::lock_guard<std::mutex> lock(mutex_);
    return fault_;
}

void MateCheck::hand_over(std::size_t nth, std::unique_lock<std::mutex>& lock) {
    Input& input = inputs_[nth];
    input.ready.push_back(std::move(input.filling));
    input.filling = Stretch{};
    compare_ready();
    moved_.notify_all();
    // Run no more than two stretches ahead of the slowest input, so that what waits to be
    // compared stays small.
    if (in_parallel_ && !input.finished) {
        moved_.wait(lock, [&] { return fault_.has_value() || input.ready.size() < 3; });
    }
}

void MateCheck::compare_ready() {
    while (!fault_) {
        for (const Input& input : inputs_) {
            if (input.ready.empty()) {
                return;
            }
        }
        std::vector<Stretch> front;
        for (Input& input : inputs_) {
            front.push_back(std::move(input.ready.front()));
            input.ready.erase(input.ready.begin());
        }
        if (!style_known_ && !front[0].ends.empty() && !front[1].ends.empty()) {
            archive_style_ = archive_style(without_mate_number(word_at(front[0].ends, front[0].words, 0)),
                                           without_mate_number(word_at(front[1].ends, front[1].words, 0)));
            style_known_ = true;
        }
        const std::uint64_t base = inputs_[0].compared;
        for (std::size_t nth = 1; nth < front.size() && !fault_; ++nth) {
            const std::size_t shared = std::min(front[0].ends.size(), front[nth].ends.size());
            for (std::size_t at = 0; at < shared; ++at) {
                if (!compare_words(word_at(front[0].ends, front[0].words, at),
                                   word_at(front[nth].ends, front[nth].words, at), nth, base + at + 1)) {
                    break;
                }
            }
            if (!fault_ && front[0].ends.size() != front[nth].ends.size()) {
                const bool first_longer = front[0].ends.size() > front[nth].ends.size();
                fault_ = text::file_label(names_[first_longer ? nth : 0], false) + " ends at record " +
                         std::to_string(base + shared) + " where " +
                         text::file_label(names_[first_longer ? 0 : nth], false) +
                         " goes on: the inputs are not read pairs in step";
            }
        }
        for (std::size_t nth = 0; nth < inputs_.size(); ++nth) {
            inputs_[nth].compared += front[nth].ends.size();
        }
    }
}

bool MateCheck::compare_words(std::string_view first, std::string_view other, std::size_t nth, std::uint64_t record) {
    if (mate_name(first) == mate_name(other)) {
        return true;
    }
    fault_ = "record " + std::to_string(record) + " is " + text::quoted(first) + " in " +
             text::file_label(names_[0], false) + " but " + text::quoted(other) + " in " +
             text::file_label(names_[nth], false) +
             ": the inputs are not read pairs in step (--no-mate-check reads them as they are)";
    return false;
}

}  // namespace talmiro
