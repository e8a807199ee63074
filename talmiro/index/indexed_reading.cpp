#include "talmiro/index/indexed_reading.hpp"

#include "index/gzi_format.hpp"
#include "index/trust.hpp"
#include "io/file_system.hpp"
#include "io/mapped_file.hpp"
#include "io/random_access.hpp"
#include "talmiro/index/fai_format.hpp"
#include "talmiro/index/record_table.hpp"
#include "talmiro/index/tix_scanning.hpp"
#include "talmiro/records/record_reading.hpp"
#include "text/quoting.hpp"

#include <algorithm>
#include <cstring>
#include <limits>

namespace talmiro {

namespace {

constexpr std::size_t whole_line = std::numeric_limits<std::size_t>::max() / 2;
constexpr std::size_t region_window = std::size_t{1} << 16;

// A record's bytes [offset, offset + length) for the scanner, from a region one byte wider on
// each side: the byte before the record and the one after it are kept aside for the checks.
class RecordBytes final : public io::ByteSource {
public:
    RecordBytes(const io::InputFile& file, const std::vector<io::BgzfMember>* members, std::uint64_t offset,
                std::uint64_t length)
        : region_(io::open_region(file, offset == 0 ? 0 : offset - 1, offset + length + 1, members)),
          skip_(offset == 0 ? 0 : 1),
          length_(length) {}

    std::size_t read(char* into, std::size_t size) override {
        for (;;) {
            if (buffered_ == used_) {
                if (ended_) {
                    return 0;
                }
                buffered_ = region_->read(buffer_, sizeof buffer_);
                used_ = 0;
                if (buffered_ == 0) {
                    ended_ = true;
                    return 0;
                }
            }
            while (skip_ > 0 && used_ < buffered_) {
                before_ = buffer_[used_++];
                has_before_ = true;
                --skip_;
            }
            if (used_ == buffered_) {
                continue;
            }
            if (given_ == length_) {
                after_ = buffer_[used_];
                has_after_ = true;
                used_ = buffered_;
                ended_ = true;
                return 0;
            }
            const std::size_t count =
                static_cast<std::size_t>(std::min<std::uint64_t>({size, buffered_ - used_, length_ - given_}));
            std::memcpy(into, buffer_ + used_, count);
            used_ += count;
            given_ += count;
            last_ = into[count - 1];
            return count;
        }
    }
    const std::optional<io::IoError>& error() const override { return region_->error(); }
    const io::InputFile* plain_file() const override { return nullptr; }
    const std::string& name() const override { return region_->name(); }

    // Once read through: whether every byte of the record was there, and the bytes around it.
    bool whole() const { return given_ == length_; }
    std::optional<char> before() const { return has_before_ ? std::optional(before_) : std::nullopt; }
    std::optional<char> after() const { return has_after_ ? std::optional(after_) : std::nullopt; }
    char last() const { return last_; }

private:
    std::unique_ptr<io::ByteSource> region_;
    std::size_t skip_;
    std::uint64_t length_;
    std::uint64_t given_ = 0;
    char buffer_[1 << 16];
    std::size_t buffered_ = 0;
    std::size_t used_ = 0;
    bool ended_ = false;
    char before_ = '\0';
    bool has_before_ = false;
    char after_ = '\0';
    bool has_after_ = false;
    char last_ = '\0';
};

// An index, whichever file it came from: its names, what it says of the file, and, for a plain
// file indexed by a .fai, the file's mapping the table was read against.
struct LoadedIndex {
    std::optional<TixFile> tix;
    std::optional<RecordTableBuilder> from_fai;
    std::string path;  // for messages
    RecordFormat format = RecordFormat::fasta;
    std::uint64_t records = 0;
    std::optional<std::vector<io::BgzfMember>> members;

    RecordTable table() const { return tix ? tix->table() : from_fai->view(); }
};

using indexing::Untrusted;

std::optional<std::vector<io::BgzfMember>> load_gzi(const std::string& file_path, const io::FileStamp& stamp) {
    const std::string path = file_path + std::string(gzi_suffix);
    indexing::require_regular(path);
    const std::optional<io::FileStamp> gzi_stamp = io::stamp_of(path);
    if (!gzi_stamp) {
        throw Untrusted{text::file_label(path, false) + " is missing, so the BGZF file cannot be read from the middle"};
    }
    if (gzi_stamp->older_than(stamp)) {
        throw indexing::older_than(path, file_path);
    }
    std::optional<io::IoError> error;
    const std::optional<std::string> bytes = io::read_whole_file(path, error);
    if (!bytes) {
        throw Untrusted{error->describe()};
    }
    std::optional<std::vector<io::BgzfMember>> members = indexing::parse_gzi(*bytes);
    if (!members) {
        throw Untrusted{text::file_label(path, false) + " is no .gzi"};
    }
    return members;
}

std::optional<LoadedIndex> load_tix(const std::string& file_path, const io::FileStamp& stamp, io::Storage storage) {
    LoadedIndex index;
    index.path = file_path + std::string(tix_suffix);
    indexing::require_regular(index.path);
    std::string why_not;
    index.tix = TixFile::open(index.path, why_not);
    if (!index.tix) {
        throw indexing::cannot_be_used(index.path, why_not);
    }
    const TixFacts& facts = index.tix->facts();
    if (facts.stamp != stamp || facts.bgzf != (storage == io::Storage::bgzf)) {
        throw indexing::made_for_another_version(index.path, file_path);
    }
    index.format = facts.format;
    index.records = facts.records;
    if (facts.bgzf) {
        index.members = load_gzi(file_path, stamp);
    }
    return index;
}

std::optional<LoadedIndex> load_fai(const std::string& file_path, const io::FileStamp& stamp, io::Storage storage) {
    LoadedIndex index;
    index.path = file_path + std::string(fai_suffix);
    indexing::require_regular(index.path);
    const std::optional<io::FileStamp> fai_stamp = io::stamp_of(index.path);
    if (storage != io::Storage::plain) {
        throw Untrusted{text::file_label(index.path, false) + " alone cannot locate records in a compressed file; " +
                        "talmiro --index " + file_path + " makes the index that can"};
    }
    if (!fai_stamp || fai_stamp->older_than(stamp)) {
        throw indexing::older_than(index.path, file_path);
    }
    std::optional<io::IoError> error;
    const std::optional<io::MappedFile> fai = io::MappedFile::open(index.path, error);
    const std::optional<io::MappedFile> text = fai ? io::MappedFile::open(file_path, error) : std::nullopt;
    if (!fai || !text) {
        throw Untrusted{error->describe()};
    }
    if (io::stamp_of(file_path) != stamp) {
        throw Untrusted{text::file_label(file_path, false) + " changed while its .fai was read"};
    }
    // Six fields a line for FASTQ, five for FASTA.
    const std::string_view first_line = fai->bytes().substr(0, fai->bytes().find('\n'));
    index.format =
        std::count(first_line.begin(), first_line.end(), '\t') == 5 ? RecordFormat::fastq : RecordFormat::fasta;
    std::string why_not;
    index.from_fai = table_from_fai(fai->bytes(), index.format, text->bytes(), why_not);
    if (!index.from_fai) {
        throw Untrusted{text::file_label(index.path, false) + " does not describe " +
                        text::file_label(file_path, false) + ": " + why_not};
    }
    index.records = index.from_fai->entries().size();
    return index;
}

// The index beside the file, if it has one: its .tix first, else a plain file's .fai.
std::optional<LoadedIndex> load_index(const std::string& file_path, const io::FileStamp& stamp, io::Storage storage) {
    if (io::exists(file_path + std::string(tix_suffix))) {
        return load_tix(file_path, stamp, storage);
    }
    if (io::exists(file_path + std::string(fai_suffix))) {
        return load_fai(file_path, stamp, storage);
    }
    return std::nullopt;
}

// Every record a listed name might take, by where its name could stand in the sorted table;
// the scanner's own matching then decides on the whole header line.
std::vector<IndexEntry> candidates(const RecordTable& table, const NameTable& names, Matching matching) {
    std::vector<IndexEntry> found;
    const auto add = [&](std::span<const IndexEntry> entries) {
        found.insert(found.end(), entries.begin(), entries.end());
    };
    const text::NameList& keys = names.keys();
    for (std::size_t position = 0; position < keys.size(); ++position) {
        const std::string_view name = keys.name(position);
        // A name holding white space reaches past the header's first word: only that word is
        // looked up.
        const std::string_view word = index_name(name);
        if (word.size() < name.size()) {
            add(table.named(word));
        } else if (matching == Matching::prefix) {
            add(table.beginning_with(name));
        } else {
            add(table.named(name));
            if (matching == Matching::word) {
                // A read's name takes its mates, "name/1" and "name/2".
                for (const char mate : {'1', '2'}) {
                    add(table.named(std::string(name) + '/' + mate));
                }
            }
        }
    }
    std::sort(found.begin(), found.end(), [](const IndexEntry& a, const IndexEntry& b) { return a.offset < b.offset; });
    found.erase(std::unique(found.begin(), found.end(),
                            [](const IndexEntry& a, const IndexEntry& b) { return a.offset == b.offset; }),
                found.end());
    return found;
}

std::string place_of(const RecordTable& table, const IndexEntry& entry) {
    return "record " + text::quoted(table.name_of(entry)) + " at byte " + std::to_string(entry.offset);
}

// Reads one located record through the scanner, into `kept` when a listed name takes it; what
// is not as the index says is Untrusted. Returns the slot that took it, or -1.
std::int64_t take_located(const io::InputFile& file, const LoadedIndex& index, const IndexEntry& entry,
                          const NameSelector& selector, std::string& scratch, RecordSink& kept) {
    const RecordTable table = index.table();
    const auto fail = [&](std::string_view what) {
        return indexing::does_not_match(index.path, file.name(), place_of(table, entry) + ": " + std::string(what));
    };
    if (entry.length < 2) {
        throw fail("too short for a record");
    }
    auto owned =
        std::make_unique<RecordBytes>(file, index.members ? &*index.members : nullptr, entry.offset, entry.length);
    RecordBytes& bytes = *owned;
    io::ReadBuffer window(std::move(owned), region_window, io::ReadBuffer::Access::copied);
    const char marker = marker_of(index.format);
    if (!window.peek(1).starts_with(marker)) {
        throw fail(std::string("no '") + marker + "' there");
    }
    const std::unique_ptr<RecordScanner> records = scan_records(std::move(window));
    HeaderLine header;
    if (records->format() != index.format || !records->next(whole_line, header) ||
        index_name(header.text) != table.name_of(entry)) {
        throw fail("another record there");
    }
    const std::int64_t slot = selector.slot_for(header, scratch);
    if (slot >= 0) {
        kept.begin_record(slot);
        records->take(kept);
    } else {
        records->skip();
    }
    HeaderLine next;
    if (records->malformed() || records->next(whole_line, next) || records->input().error()) {
        throw fail("it is not one whole record there");
    }
    if (!bytes.whole()) {
        throw fail("the file ends inside it");
    }
    // It starts a record only after a line break (or first in the file); the next record starts
    // right after it, on a line of its own.
    const bool first = entry.offset == 0 || (entry.offset == 3 && bytes.before() == '\xBF');
    const std::optional<char> after = bytes.after();
    if ((!first && bytes.before() != '\n') || (after && (*after != marker || bytes.last() != '\n'))) {
        throw fail("it does not lie between two records");
    }
    return slot;
}

IndexedInput take_records(const io::InputFile& file, const LoadedIndex& index, const NameTable& table,
                          const NameSelector& selector, Matching matching, const std::string& spool_folder,
                          std::size_t spool_budget) {
    IndexedInput input;
    input.format = index.format;
    input.records = index.records;
    input.places = std::make_unique<TakenRecords>(index.format, table.slot_count(), spool_folder, spool_budget);
    input.taken.assign(table.slot_count(), 0);
    std::string scratch;
    for (const IndexEntry& entry : candidates(index.table(), table, matching)) {
        ++input.located;
        const std::int64_t slot = take_located(file, index, entry, selector, scratch, *input.places);
        if (slot < 0) {
            continue;
        }
        ++input.taken[static_cast<std::size_t>(slot)];
    }
    return input;
}

}  // namespace

std::optional<IndexedInput> take_through_index(const indexing::Warn& warn, const io::InputFile& file,
                                               const NameTable& table, const NameSelector& selector, Matching matching,
                                               const std::string& spool_folder, std::size_t spool_budget,
                                               const io::Progress& progress, std::string& not_used) {
    const std::optional<io::FileStamp> stamp = io::stamp_of(file.descriptor());
    if (file.name() == "-" || !stamp) {
        not_used = file.name() == "-" ? "standard input cannot be read from the middle" : "it is not a regular file";
        return std::nullopt;
    }
    const io::Storage storage = io::storage_of(file);
    if (storage == io::Storage::gzip || storage == io::Storage::zstd) {
        not_used = std::string(storage == io::Storage::gzip ? "gzip" : "zstd") + " cannot be read from the middle";
        return std::nullopt;
    }
    try {
        const std::optional<LoadedIndex> index = load_index(file.name(), *stamp, storage);
        if (!index) {
            not_used = "no " + text::file_label(file.name() + std::string(tix_suffix), false) + " or " +
                       text::file_label(file.name() + std::string(fai_suffix), false) + " beside it";
            return std::nullopt;
        }
        // Every record is read and checked before anything is written or drawn, so a failed
        // check leaves nothing to undo; the meter then shows the records taken as a scan does.
        IndexedInput input = take_records(file, *index, table, selector, matching, spool_folder, spool_budget);
        progress.begin();
        std::int64_t matches = 0;
        for (const std::uint64_t count : input.taken) {
            for (std::uint64_t record = 0; record < count; ++record) {
                progress.step(io::percentage(++matches, static_cast<std::int64_t>(table.size())));
            }
        }
        return input;
    } catch (const Untrusted& untrusted) {
        warn(indexing::reading_whole(untrusted));
        not_used = "its index cannot be trusted";
        return std::nullopt;
    }
}

}  // namespace talmiro
