// What talmiro --index finds in a file: every record's name and place for FILE.tix, and the
// .fai lines samtools reads, made in one scan by the scanner that reads whole files.
#pragma once

#include "io/input_file.hpp"
#include "io/io_error.hpp"
#include "io/output_file.hpp"
#include "io/random_access.hpp"
#include "talmiro/index/record_table.hpp"
#include "talmiro/index/tix_format.hpp"
#include "talmiro/records/record_scanner.hpp"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace talmiro {

// The suffixes of the index files beside a file.
inline constexpr std::string_view tix_suffix = ".tix";
inline constexpr std::string_view fai_suffix = ".fai";
inline constexpr std::string_view gzi_suffix = ".gzi";

// What a scan of the whole file finds: every record's place and name, and the .fai lines.
struct Scanned {
    RecordTableBuilder table;
    RecordFormat format = RecordFormat::fasta;
    std::uint64_t text_size = 0;
    std::string undescribable;  // the first record a .fai cannot describe
    std::string why_undescribable;
    Companion fai;  // the .fai's lines written
};

// Scans the whole file (`text_guess` its likely text size, for room), writing the .fai's lines to
// `fai` as they are made; or says why the file cannot have an index. `fai` is to be dropped,
// unclosed, where a record proves undescribable.
// Where `stored` is given, every byte of a plain file goes to it as it is read.
std::optional<io::IoError> scan_for_index(io::InputFile file, const std::string& path, io::OutputFile& fai,
                                          std::uint64_t text_guess, Scanned& scanned,
                                          const std::function<void(std::string_view)>& stored = {});

}  // namespace talmiro
