#include "orvane/app/program.hpp"

#include "orvane/app/files.hpp"
#include "orvane/app/run.hpp"

#include <array>

namespace orvane {

namespace {

constexpr std::array<const session::FileRole*, 5> files = {&list_file, &matrix_file, &output_file, &sample_file,
                                                           &map_file};

constexpr session::FilesMode index_mode{
    "--index", "MATRIX",
    "instead of cutting, index each MATRIX named after the options (MATRIX.oix: where each row begins), so "
    "that later cuts read only the listed rows; --input-format as for a cut",
    "[--input-format F]"};

constexpr session::Program the_program{
    .name = "orvane",
    .summary = "Cuts the rows and columns of the listed IDs, in list order, out of a square distance matrix.",
    .examples =
        "Examples:\n  orvane -l ids.txt -i distances.txt -o subset.txt -s sample.txt\n"
        "  orvane -l ids.txt -i snp-dists.tsv -o subset.phy --output-format square\n"
        "  cut -f1 hits.tsv | orvane -l - -i distances.txt -o - | gzip > subset.txt.gz\n"
        "  orvane -l ids.txt -i bootstrap.dist -o subset.dist --short-names names.tsv\n"
        "  orvane -l ids.txt -i mash-dist.tsv -o subset.tsv --output-format tsv\n"
        "  orvane -l outliers.txt --exclude -i distances.txt -o rest.txt\n"
        "  orvane --index distances.txt   (once: later cuts read only the listed rows)\n\n"
        "Exit status: 0 success, 1 failure (a file, memory, listed IDs not found), 2 usage error.",
    .files = files,
    .input = &matrix_file,
    .dialogue = run,
    .files_mode = &index_mode,
};

}  // namespace

const session::Program& program() { return the_program; }

}  // namespace orvane
