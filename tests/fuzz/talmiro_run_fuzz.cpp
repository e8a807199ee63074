// A whole talmiro session with fuzzed list, FASTA or FASTQ file and continue answers, in-process. When it
// reports success, the output is exactly the reference records of the listed names, in list order.
#include "fuzz_support.hpp"
#include "support/reference.hpp"
#include "talmiro/app/run.hpp"

#include <sstream>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzzing::Pieces parts(data, size);
    const std::string answer_bytes = parts.take_part();
    const std::string list = fuzzing::as_plain_text(parts.take_part());
    const std::string fasta = fuzzing::as_plain_text(parts.take_rest());
    const fuzzing::InScratchFolder scratch;
    fuzzing::write_whole("list", list);
    fuzzing::write_whole("in.fa", fasta);
    const std::vector<std::string> words = fuzzing::typed_words(answer_bytes, {"out.fa"});
    std::istringstream in("list in.fa " + fuzzing::joined(words));
    std::ostringstream out;
    talmiro::run(in, out);
    const std::string transcript = out.str();
    fuzzing::require(transcript.rfind("\n\t***", 0) == 0, "the session opens with the banner");
    if (!fuzzing::ends_with(transcript, "\n\nSuccessfully written output file...Exiting now...")) {
        return 0;
    }
    const std::vector<std::string> names = testing_support::reference_list_lines(list);
    std::string expected;
    if (testing_support::reference_is_fastq(fasta)) {
        for (const std::string& of_name : testing_support::reference_fastq_records(fasta, names).texts) {
            expected += of_name;
        }
    } else {
        for (const auto& of_name : testing_support::reference_records(fasta, names)) {
            for (const std::string& record : of_name) {
                expected += record;
            }
        }
    }
    const std::string written = fuzzing::read_whole(words.at(fuzzing::questions_asked(transcript)));
    fuzzing::require(written == expected, "the output holds exactly the listed records, in list order");
    return 0;
}
