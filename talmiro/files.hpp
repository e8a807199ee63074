// The files of a talmiro run, as the dialogue asks for them and the command line names them.
#pragma once

#include "front/session.hpp"

namespace talmiro {

using Direction = session::FileRole::Direction;
using Need = session::FileRole::Need;

inline constexpr session::FileRole list_file{
    Direction::input, Need::required, "-l,--list", "LIST",
    "the list file of names, in the order wanted (- for standard input)", "Enter sequence list file name: "};
inline constexpr session::FileRole fasta_file{Direction::input, Need::required, "-i,--input", "FASTA",
                                              "the FASTA file to take records from (- for standard input)",
                                              "Enter Input FASTA file name: "};
inline constexpr session::FileRole output_file{Direction::output, Need::required, "-o,--output", "OUTPUT",
                                               "the FASTA file to write (- for standard output)",
                                               "Enter Output FASTA file name: "};

}  // namespace talmiro
