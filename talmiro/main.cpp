#include "run.hpp"

namespace {

constexpr session::Program talmiro_program{
    .name = "talmiro",
    .version = "2.0",
    .summary = "Copies the FASTA records of the listed names, in list order.",
    .input_name = "FASTA",
    .input_help = "the FASTA file to take records from (- for standard input)",
    .output_help = "the FASTA file to write (- for standard output)",
    .sample_help = {},
    .exact_help = "a name takes the records whose header's first word is the name (default: whose header "
                  "begins with it, so contig_1 also takes contig_10)",
    .examples = "Example:\n  talmiro -l names.txt -i sequences.fa -o subset.fa\n"
                "  talmiro -l names.txt -i sequences.fa -o - --exact | grep -c '>'\n\n"
                "Exit status: 0 success, 1 failure (a file, memory, listed names not found), 2 usage error.",
    .dialogue = talmiro::run,
    .batch = talmiro::run_batch,
};

}  // namespace

int main(int argc, char** argv) { return session::program_main(argc, argv, talmiro_program); }
