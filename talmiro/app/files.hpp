// The files of a talmiro run, as the dialogue asks for them and the command line names them.
#pragma once

#include "front/session.hpp"

namespace talmiro {

using Direction = session::FileRole::Direction;
using Need = session::FileRole::Need;

inline constexpr session::FileRole list_file{Direction::input,
                                             Need::required,
                                             "-l,--list",
                                             "LIST",
                                             "the list file of names, in the order wanted (- for standard input)",
                                             "Enter sequence list file name: "};
// Several inputs (paired reads) each have their output: the n-th output from the n-th input.
inline constexpr session::FileRole fasta_file{
    Direction::input,
    Need::one_or_more,
    "-i,--input",
    "INPUT",
    "the FASTA or FASTQ file to take records from (- for standard input); again for each further file, "
    "as R1 and R2 of paired reads",
    "Enter Input FASTA file name: "};
inline constexpr session::FileRole output_file{
    Direction::output,
    Need::one_or_more,
    "-o,--output",
    "OUTPUT",
    "the file to write (- for standard output), in the input's format; one for each --input, in the same order",
    "Enter Output FASTA file name: "};

}  // namespace talmiro
