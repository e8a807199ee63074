// A whole orvane session with fuzzed list, matrix and continue answers, in-process. Whatever
// happens, the run ends; when it reports success, the two files agree with each other: the
// header counts the rows, and each sample line is its matrix row without the name.
#include "fuzz_support.hpp"
#include "orvane/app/run.hpp"

#include <sstream>

namespace {

std::vector<std::string> lines_of(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzzing::Pieces parts(data, size);
    const std::string answer_bytes = parts.take_part();
    const std::string list = fuzzing::as_plain_text(parts.take_part());
    const std::string matrix = fuzzing::as_plain_text(parts.take_rest());
    // A huge declared order allocates its rows only as they are read (the session tests cover it);
    // times tens of thousands of listed IDs it would only trip the fuzzer's allocation limit.
    long long declared = 0;
    if (std::istringstream(matrix) >> declared && declared > 1000) {
        return 0;
    }
    const fuzzing::InScratchFolder scratch;
    fuzzing::write_whole("list", list);
    fuzzing::write_whole("matrix", matrix);
    const std::vector<std::string> words = fuzzing::typed_words(answer_bytes, {"out", "sample"});
    std::istringstream in("list matrix " + fuzzing::joined(words));
    std::ostringstream out;
    orvane::run(in, out);
    const std::string transcript = out.str();
    fuzzing::require(transcript.rfind("\n\t***", 0) == 0, "the session opens with the banner");
    if (!fuzzing::ends_with(transcript,
                            "\nSuccessfully written OUTPUT matrix file."
                            "\nSuccessfully written OUTPUT Sample file...Exiting now...\n")) {
        return 0;
    }
    const std::size_t asked = fuzzing::questions_asked(transcript);
    const std::vector<std::string> rows = lines_of(fuzzing::read_whole(words.at(asked)));
    const std::vector<std::string> samples = lines_of(fuzzing::read_whole(words.at(asked + 1)));
    fuzzing::require(!rows.empty() && std::stoul(rows[0]) == rows.size() - 1, "the header counts the rows");
    fuzzing::require(samples.size() == rows.size() - 1, "one sample line per row");
    for (std::size_t row = 1; row < rows.size(); ++row) {
        const std::string& sample = samples[row - 1];
        fuzzing::require(rows[row].size() >= sample.size() &&
                             rows[row].compare(rows[row].size() - sample.size(), sample.size(), sample) == 0,
                         "a sample line is its row without the name");
        fuzzing::require(sample.size() >= 10 * (rows.size() - 1), "every field is there");
    }
    return 0;
}
