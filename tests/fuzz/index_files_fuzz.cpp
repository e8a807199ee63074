// The index files read back whatever their bytes: a .oix, a .gzi, a .tix and a .fai against the
// text it claims to describe. A defined outcome always; what parses writes back as it was read,
// and a table made from a .fai places every record inside the text, at its marker.
#include "fuzz_support.hpp"
#include "index/gzi_format.hpp"
#include "io/random_access.hpp"
#include "orvane/index/oix_format.hpp"
#include "talmiro/index/fai_format.hpp"
#include "talmiro/index/record_table.hpp"

#include <algorithm>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzzing::Pieces parts(data, size);
    const std::uint8_t choice = parts.take_byte();
    const std::string index = parts.take_part();
    const std::string text = parts.take_rest();
    std::string why_not;
    switch (choice % 4) {
    case 0:
        if (const std::optional<orvane::RowIndex> parsed = orvane::parse_oix(index, why_not)) {
            std::string again_why;
            const std::optional<orvane::RowIndex> again = orvane::parse_oix(orvane::oix_bytes(*parsed), again_why);
            fuzzing::require(again && again->data_sets.size() == parsed->data_sets.size() &&
                                 again->stamp == parsed->stamp && again->layout == parsed->layout,
                             "a .oix read back writes the same index");
        } else {
            fuzzing::require(!why_not.empty(), "a .oix refused says why");
        }
        break;
    case 1:
        if (const auto members = indexing::parse_gzi(index)) {
            fuzzing::require(indexing::gzi_bytes(*members) == index, "a .gzi read back writes the same bytes");
        }
        break;
    case 2: {
        const fuzzing::MemoryFile file(index);
        const std::optional<talmiro::TixFile> tix = talmiro::TixFile::open(file.path(), why_not);
        if (!tix) {
            fuzzing::require(!why_not.empty(), "a .tix refused says why");
            break;
        }
        const talmiro::RecordTable table = tix->table();
        fuzzing::require(table.size() == tix->facts().records, "a .tix holds as many entries as it says");
        const auto entries = table.entries();
        const bool sorted = std::is_sorted(entries.begin(), entries.end(), [&](const auto& a, const auto& b) {
            return table.name_of(a) < table.name_of(b);
        });
        if (sorted) {
            // In a table in order, a lookup finds exactly the entries a walk over all of them does.
            const auto named = table.named(text);
            const auto beginning = table.beginning_with(text);
            const auto count = [&](auto&& matches) { return std::count_if(entries.begin(), entries.end(), matches); };
            fuzzing::require(static_cast<std::ptrdiff_t>(named.size()) ==
                                 count([&](const auto& entry) { return table.name_of(entry) == text; }),
                             "a lookup by name finds every entry of that name");
            fuzzing::require(static_cast<std::ptrdiff_t>(beginning.size()) ==
                                 count([&](const auto& entry) { return table.name_of(entry).starts_with(text); }),
                             "a lookup by prefix finds every entry that begins so");
        }
        break;
    }
    default:
        for (const auto format : {talmiro::RecordFormat::fasta, talmiro::RecordFormat::fastq}) {
            if (const auto table = talmiro::table_from_fai(index, format, text, why_not)) {
                for (const talmiro::IndexEntry& entry : table->entries()) {
                    fuzzing::require(entry.offset < text.size() && entry.length <= text.size() - entry.offset &&
                                         text[entry.offset] == talmiro::marker_of(format),
                                     "every record a .fai gives lies in the text, at its marker");
                }
            }
        }
        break;
    }
    return 0;
}
