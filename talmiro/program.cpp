#include "talmiro/program.hpp"

#include "talmiro/files.hpp"
#include "talmiro/run.hpp"

#include <array>

namespace talmiro {

namespace {

constexpr std::array<const session::FileRole*, 3> files = {&list_file, &fasta_file, &output_file};

constexpr session::Program the_program{
    .name = "talmiro",
    .summary = "Copies the FASTA records of the listed names, in list order.",
    .examples = "Example:\n  talmiro -l names.txt -i sequences.fa -o subset.fa\n"
                "  talmiro -l names.txt -i sequences.fa -o - --exact | grep -c '>'\n\n"
                "Exit status: 0 success, 1 failure (a file, memory, listed names not found), 2 usage error.",
    .files = files,
    .input = &fasta_file,
    .dialogue = run,
};

}  // namespace

const session::Program& program() { return the_program; }

}  // namespace talmiro
