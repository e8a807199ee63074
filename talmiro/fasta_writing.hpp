// Writing the extracted FASTA file.
#pragma once

#include "front/dialogue.hpp"
#include "io/output_file.hpp"
#include "talmiro/fasta_reading.hpp"

namespace talmiro {

// Writes, for each found name in list order, all of its records in file order, and draws the
// writing meter (one step per found name; the caller ends its line). Returns the number of
// records written.
std::size_t write_output_fasta(io::OutputFile& output, const NameTable& table, console::Meter& meter);

}  // namespace talmiro
