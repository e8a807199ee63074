#include "run.hpp"

namespace {

constexpr session::Program orvane_program{
    .name = "orvane",
    .version = "2.0",
    .summary = "Cuts the rows and columns of the listed IDs, in list order, out of a square distance matrix.",
    .input_name = "MATRIX",
    .input_help = "the distance matrix: its order, then one named row per sequence (- for standard input)",
    .output_help = "the sub-matrix to write (- for standard output)",
    .sample_help = "also write the bare distances, without header and names",
    .exact_help = {},
    .has_layouts = true,
    .examples = "Example:\n  orvane -l ids.txt -i distances.txt -o subset.txt -s sample.txt\n"
                "  orvane -l ids.txt -i snp-dists.tsv -o subset.phy --output-format square\n"
                "  cut -f1 hits.tsv | orvane -l - -i distances.txt -o - | gzip > subset.txt.gz\n\n"
                "Exit status: 0 success, 1 failure (a file, memory, listed IDs not found), 2 usage error.",
    .dialogue = orvane::run,
    .batch = orvane::run_batch,
};

}  // namespace

int main(int argc, char** argv) { return session::program_main(argc, argv, orvane_program); }
