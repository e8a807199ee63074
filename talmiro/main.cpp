#include "talmiro/files.hpp"
#include "talmiro/options.hpp"
#include "talmiro/run.hpp"

#include <array>

namespace {

constexpr std::array<const session::FileRole*, 3> files = {&talmiro::list_file, &talmiro::fasta_file,
                                                           &talmiro::output_file};

constexpr session::Program talmiro_program{
    .name = "talmiro",
    .summary = "Copies the FASTA records of the listed names, in list order.",
    .examples = "Example:\n  talmiro -l names.txt -i sequences.fa -o subset.fa\n"
                "  talmiro -l names.txt -i sequences.fa -o - --exact | grep -c '>'\n\n"
                "Exit status: 0 success, 1 failure (a file, memory, listed names not found), 2 usage error.",
    .files = files,
    .input = &talmiro::fasta_file,
    .dialogue = talmiro::run,
};

}  // namespace

int main(int argc, char** argv) {
    talmiro::BatchMode batch;
    return session::program_main(argc, argv, talmiro_program, batch);
}
