// The files of a talmiro run, as the dialogue asks for them and the command line names them.
#pragma once

#include "front/session.hpp"

namespace talmiro {

using Direction = session::FileRole::Direction;
using Need = session::FileRole::Need;

// Regions (--region, --regions, --bed) take the list's place, so batch mode holds a run to one
// or the other itself.
inline constexpr session::FileRole list_file{
    Direction::input,
    Need::optional,
    "-l,--list",
    "LIST",
    "the list file of names, in the order wanted (- for standard input); required unless regions are given",
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

namespace talmiro {

// Regions to cut rather than whole records: batch mode alone has them.
inline constexpr session::FileRole regions_file{
    Direction::input,
    Need::optional,
    "--regions",
    "FILE",
    "cut the regions of FILE, one a line as --region takes them (after any --region)",
    ""};
inline constexpr session::FileRole bed_file{Direction::input,
                                            Need::optional,
                                            "--bed",
                                            "BED",
                                            "cut the intervals of a BED file (NAME, START from 0, END; then "
                                            "optionally a name and strand), headed NAME:START-END from 1 (after any "
                                            "--region and --regions)",
                                            ""};

}  // namespace talmiro
