// The files of an orvane run, as the dialogue asks for them and the command line names them.
#pragma once

#include "front/session.hpp"

namespace orvane {

using Direction = session::FileRole::Direction;
using Need = session::FileRole::Need;

inline constexpr session::FileRole list_file{Direction::input,
                                             Need::required,
                                             "-l,--list",
                                             "LIST",
                                             "the list file of names, in the order wanted (- for standard input)",
                                             "Enter sequence list TEXT file name: "};
inline constexpr session::FileRole matrix_file{
    Direction::input,
    Need::required,
    "-i,--input",
    "MATRIX",
    "the distance matrix: its order, then one named row per sequence (- for standard input)",
    "Enter the INPUT distance matrix file name: "};
inline constexpr session::FileRole output_file{Direction::output,
                                               Need::required,
                                               "-o,--output",
                                               "OUTPUT",
                                               "the sub-matrix to write (- for standard output)",
                                               "Enter OUTPUT distance matrix file name: "};
inline constexpr session::FileRole sample_file{Direction::output,
                                               Need::optional,
                                               "-s,--sample",
                                               "SAMPLE",
                                               "also write the bare distances, without header and names",
                                               "Enter OUTPUT Sample file name: "};
// Batch mode only: the dialogue never asks for it.
inline constexpr session::FileRole map_file{
    Direction::output,
    Need::optional,
    "--short-names",
    "MAP",
    "write names of at most 10 letters, digits, '_', '.' or '-' (safe in PHYLIP and Newick) into every "
    "output, and the map from each to its ID into MAP (two columns: short name, ID)",
    "Enter OUTPUT name map file name: "};

}  // namespace orvane
