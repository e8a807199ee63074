// Writing the extracted FASTA file.
#pragma once

#include "console.hpp"
#include "fasta_reading.hpp"

namespace talmiro {

// Writes, for each found name in list order, all of its records in file order, and draws the
// writing meter (one step per found name). Leaves the meter line open for the closing text.
void write_output_fasta(console::OutputFile& output, const NameTable& table, console::Console& console);

}  // namespace talmiro
