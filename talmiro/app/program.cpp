#include "talmiro/app/program.hpp"

#include "talmiro/app/files.hpp"
#include "talmiro/app/run.hpp"

#include <array>

namespace talmiro {

namespace {

constexpr std::array<const session::FileRole*, 5> files = {&list_file, &fasta_file, &output_file, &regions_file,
                                                           &bed_file};

constexpr session::FilesMode index_mode{
    "--index", "FILE",
    "instead of extracting, index each FILE named after the options (FILE.tix, FILE.fai, and FILE.gzi "
    "for a BGZF file), so that later runs read only the records they take",
    ""};

constexpr session::Program the_program{
    .name = "talmiro",
    .summary = "Copies the FASTA or FASTQ records of the listed names, in list order, or regions of them.",
    .examples =
        "Examples:\n  talmiro -l names.txt -i sequences.fa -o subset.fa\n"
        "  talmiro -l names.txt -i sequences.fa -o - --match word | grep -c '>'\n"
        "  talmiro -l reads.txt -i R1.fq.gz -i R2.fq.gz -o sub_R1.fq.gz -o sub_R2.fq.gz --match word\n"
        "  talmiro -l contaminants.txt -i R1.fq.gz -o clean_R1.fq.gz --exclude --match word\n"
        "  talmiro --region chr1:1,000-2,000 --bed peaks.bed --strand -i genome.fa.gz -o cuts.fa\n"
        "  talmiro --index reference.fa   (once: later runs read only the records they take)\n\n"
        "Streaming orders (--order file, --exclude) write while they read: with -o - a missing name is\n"
        "reported after the output; named outputs are still left untouched by a failed run.\n\n"
        "Exit status: 0 success, 1 failure (a file, memory, listed names not found), 2 usage error.",
    .files = files,
    .input = &fasta_file,
    .dialogue = run,
    .files_mode = &index_mode,
};

}  // namespace

const session::Program& program() { return the_program; }

}  // namespace talmiro
