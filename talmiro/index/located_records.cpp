#include "talmiro/index/located_records.hpp"

#include "index/trust.hpp"
#include "io/file_system.hpp"
#include "talmiro/index/tix_scanning.hpp"
#include "text/quoting.hpp"
#include "threads/helper.hpp"

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
    RecordBytes(const io::InputFile& file, const std::vector<io::BgzfMember>* members, io::BgzfMemberCache* cache,
                std::uint64_t offset, std::uint64_t length)
        : region_(io::open_region(file, text_read_for({0, offset, length}).begin,
                                  text_read_for({0, offset, length}).end, members, cache)),
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

using indexing::Untrusted;

LoadedIndex load_tix(const io::InputFile& file, const io::FileStamp& stamp, io::Storage storage,
                     const indexing::Reporting& reporting) {
    TixFile tix = TixFile::open(file.name() + std::string(tix_suffix));
    if (tix.facts().bgzf != (storage == io::Storage::bgzf)) {
        throw indexing::made_for_another_version(tix.file().path(), file.name());
    }
    indexing::confirm_identity(tix.file(), file, stamp, reporting);
    // A plain file's text is the file: records are held to its size.
    if (storage == io::Storage::plain && tix.facts().text_size != stamp.size) {
        throw indexing::cannot_be_used(tix.file().path(), "it is damaged (its text is not the file's size)");
    }
    std::optional<std::vector<io::BgzfMember>> members;
    if (tix.facts().bgzf) {
        members = tix.members();
    }
    return LoadedIndex{std::move(tix), std::move(members)};
}

// A .fai or .gzi written by another program, or by talmiro without the .tix that vouches for
// it, says nothing of the file that can be trusted without reading the file: the run reads it
// whole, which is what proving it would cost.
Untrusted foreign_index(const std::string& index_path, const std::string& file_path) {
    return {text::file_label(index_path, false) + " has no .tix to vouch for it: talmiro --index " +
            text::file_label(file_path, false) + " makes an index that can be used"};
}

std::string place_of(const RecordTable& table, const LocatedRecord& entry) {
    return "record " + text::quoted(table.name_of(entry.number)) + " at byte " + std::to_string(entry.offset);
}

}  // namespace

void read_located(const io::InputFile& file, const LoadedIndex& index, io::BgzfMemberCache& members,
                  const LocatedRecord& entry, const std::function<RecordSink*(const HeaderLine&)>& choose) {
    const RecordTable table = index.tix.table();
    const auto fail = [&](std::string_view what) {
        return indexing::does_not_match(index.tix.file().path(), file.name(),
                                        place_of(table, entry) + ": " + std::string(what));
    };
    if (entry.length < 2) {
        throw fail("too short for a record");
    }
    auto owned = std::make_unique<RecordBytes>(file, index.member_list(), &members, entry.offset, entry.length);
    RecordBytes& bytes = *owned;
    io::ReadBuffer window(std::move(owned), region_window, io::ReadBuffer::Access::copied);
    const char marker = marker_of(index.format());
    if (!window.peek(1).starts_with(marker)) {
        throw fail(std::string("no '") + marker + "' there");
    }
    const std::unique_ptr<RecordScanner> records = scan_records(std::move(window));
    HeaderLine header;
    if (records->format() != index.format() || !records->next(whole_line, header) ||
        index_name(header.text) != table.name_of(entry.number)) {
        throw fail("another record there");
    }
    if (RecordSink* const sink = choose(header)) {
        records->take(*sink);
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
}

std::optional<LoadedIndex> open_index(const indexing::Reporting& reporting, const io::InputFile& file,
                                      std::string& not_used) {
    const std::optional<io::FileStamp> stamp = io::stamp_of(file.descriptor());
    if (file.name() == "-" || !stamp) {
        not_used = file.name() == "-" ? "standard input cannot be read from the middle" : "it is not a regular file";
        return std::nullopt;
    }
    const io::Storage storage = io::storage_of(file);
    if (const std::optional<std::string> stream = io::stream_only(storage)) {
        not_used = *stream + " cannot be read from the middle";
        return std::nullopt;
    }
    const std::string& path = file.name();
    if (!io::exists(path + std::string(tix_suffix))) {
        for (const std::string_view suffix : {fai_suffix, gzi_suffix}) {
            if (io::exists(path + std::string(suffix))) {
                indexing::require_regular(path + std::string(suffix));
                throw foreign_index(path + std::string(suffix), path);
            }
        }
        not_used = "no " + text::file_label(path + std::string(tix_suffix), false) + " beside it";
        return std::nullopt;
    }
    return load_tix(file, *stamp, storage, reporting);
}

void inflate_ahead(const io::InputFile& file, const LoadedIndex& index, const std::vector<io::TextRange>& ranges,
                   io::BgzfMemberCache& cache) {
    const unsigned cores = threads::usable_cores();
    if (index.member_list() != nullptr && cores >= 2) {
        cache.read_ahead(file, *index.members, ranges, cores - 1);  // the reader inflates too
    }
}

}  // namespace talmiro
