#include "io/random_access.hpp"

#include "bgzf_read_ahead.hpp"
#include "io/file_system.hpp"

#include "codecs/codecs.hpp"

#include <sys/stat.h>
#include <unistd.h>
#include <algorithm>
#include <cerrno>
#include <cstring>

namespace io {

namespace {

constexpr std::size_t bgzf_header_size = 18;

}  // namespace

Inflated inflate_member(const InputFile& file, std::uint64_t stored, std::vector<char>& member, std::vector<char>& text,
                        std::size_t& size, std::optional<IoError>& error) {
    // Most members of sequence text compress to well under 32 KiB: one read takes the header and
    // the member, a second the rest of a larger one (at most 64 KiB).
    constexpr std::size_t first_read = std::size_t{1} << 15;
    member.resize(largest_bgzf_member);
    std::optional<std::size_t> got = read_at(file.descriptor(), stored, member.data(), first_read);
    if (got && *got >= bgzf_header_size) {
        size = codecs::bgzf_member_size({member.data(), *got});
        if (size > *got && *got == first_read) {
            const std::optional<std::size_t> rest =
                read_at(file.descriptor(), stored + first_read, member.data() + first_read, size - first_read);
            got = rest ? std::optional(first_read + *rest) : std::nullopt;
        }
    }
    if (!got) {
        error = IoError{IoError::Action::read, file.name(), errno, {}};
        return Inflated::failed;
    }
    if (*got == 0) {
        return Inflated::end;
    }
    size = *got < bgzf_header_size ? 0 : codecs::bgzf_member_size({member.data(), *got});
    if (size == 0 || size > *got || !codecs::inflate_bgzf_member({member.data(), size}, text)) {
        error = IoError::bad_content(file.name(), "damaged BGZF member at byte " + std::to_string(stored));
        return Inflated::failed;
    }
    return Inflated::member;
}

namespace {

// The bytes [begin, end) of a plain file, read where they are.
class PlainRegion final : public ByteSource {
public:
    PlainRegion(const InputFile& file, std::uint64_t begin, std::uint64_t end) : file_(file), at_(begin), end_(end) {}

    std::size_t read(char* into, std::size_t size) override {
        const std::size_t wanted = static_cast<std::size_t>(std::min<std::uint64_t>(size, end_ - at_));
        if (wanted == 0 || error_) {
            return 0;
        }
        const std::optional<std::size_t> got = read_at(file_.descriptor(), at_, into, wanted);
        if (!got) {
            error_ = IoError{IoError::Action::read, file_.name(), errno, {}};
            return 0;
        }
        at_ += *got;
        end_ = *got < wanted ? at_ : end_;  // the file ends here
        return *got;
    }
    const std::optional<IoError>& error() const override { return error_; }
    const InputFile* plain_file() const override { return nullptr; }  // never mapped: a region is small
    const std::string& name() const override { return file_.name(); }

private:
    const InputFile& file_;
    std::uint64_t at_;
    std::uint64_t end_;
    std::optional<IoError> error_;
};

// The text [begin, end) of a BGZF file, inflated member by member from the one holding `begin`.
class BgzfRegion final : public ByteSource {
public:
    BgzfRegion(const InputFile& file, std::uint64_t begin, std::uint64_t end, const std::vector<BgzfMember>& members,
               BgzfMemberCache* cache)
        : file_(file), text_at_(begin), end_(end), cache_(cache) {
        auto holder = std::upper_bound(members.begin(), members.end(), begin,
                                       [](std::uint64_t text, const BgzfMember& member) { return text < member.text; });
        if (holder == members.begin()) {
            end_ = begin;  // no member holds it: nothing to read
            return;
        }
        --holder;
        stored_at_ = holder->stored;
        member_text_ = holder->text;
    }

    std::size_t read(char* into, std::size_t size) override {
        while (text_at_ < end_ && !error_) {
            if (text_at_ < member_text_ + inflated_size() && text_at_ >= member_text_) {
                const std::size_t from = static_cast<std::size_t>(text_at_ - member_text_);
                const std::size_t count =
                    static_cast<std::size_t>(std::min<std::uint64_t>({size, inflated_size() - from, end_ - text_at_}));
                std::memcpy(into, inflated_->data() + from, count);
                text_at_ += count;
                return count;
            }
            if (!inflate_next()) {
                break;
            }
        }
        return 0;
    }
    const std::optional<IoError>& error() const override { return error_; }
    const InputFile* plain_file() const override { return nullptr; }
    const std::string& name() const override { return file_.name(); }

private:
    std::size_t inflated_size() const { return inflated_ ? inflated_->size() : 0; }

    // The member at stored_at_ into inflated_ (from the cache where it was inflated before);
    // false at the end of the file or on damage.
    bool inflate_next() {
        if (started_) {
            member_text_ += inflated_size();
        }
        started_ = true;
        if (cache_ != nullptr) {
            if (const BgzfMemberCache::Member* kept = cache_->find(stored_at_)) {
                inflated_ = kept->text;
                stored_at_ += kept->size;
                return true;
            }
        }
        auto text = std::make_shared<std::vector<char>>();
        std::size_t size = 0;
        switch (inflate_member(file_, stored_at_, member_, *text, size, error_)) {
        case Inflated::end:
            end_ = text_at_;
            return false;
        case Inflated::failed:
            return false;
        case Inflated::member:
            break;
        }
        inflated_ = std::move(text);
        if (cache_ != nullptr) {
            cache_->keep({stored_at_, size, inflated_});
        }
        stored_at_ += size;
        return true;
    }

    const InputFile& file_;
    std::uint64_t text_at_;
    std::uint64_t end_;
    std::uint64_t stored_at_ = 0;
    std::uint64_t member_text_ = 0;  // where inflated_ starts in the text
    bool started_ = false;
    std::vector<char> member_;
    std::shared_ptr<const std::vector<char>> inflated_;
    std::optional<IoError> error_;
    BgzfMemberCache* cache_;
};

}  // namespace

Storage storage_of(const InputFile& file) {
    char first[codecs::detection_bytes];
    const std::optional<std::size_t> got = read_at(file.descriptor(), 0, first, sizeof first);
    switch (codecs::format_of({first, got.value_or(0)}, true)) {
    case codecs::Format::bgzf:
        return Storage::bgzf;
    case codecs::Format::gzip:
        return Storage::gzip;
    case codecs::Format::zstd:
        return Storage::zstd;
    case codecs::Format::bzip2:
        return Storage::bzip2;
    case codecs::Format::xz:
        return Storage::xz;
    case codecs::Format::plain:
        break;
    }
    return Storage::plain;
}

std::optional<std::string> stream_only(Storage storage) {
    switch (storage) {
    case Storage::gzip:
        return "gzip";
    case Storage::zstd:
        return "zstd";
    case Storage::bzip2:
        return "bzip2";
    case Storage::xz:
        return "xz";
    case Storage::plain:
    case Storage::bgzf:
        break;
    }
    return std::nullopt;
}

std::optional<std::vector<BgzfMember>> list_bgzf_members(const InputFile& file, std::optional<IoError>& error) {
    std::vector<BgzfMember> members;
    std::uint64_t stored = 0;
    std::uint64_t text = 0;
    // Headers and trailers are read from a megabyte at a time, not one pread each.
    std::vector<char> chunk(std::size_t{1} << 20);
    std::uint64_t chunk_start = 0;
    std::size_t chunk_size = 0;
    for (;;) {
        if (stored + bgzf_header_size > chunk_start + chunk_size || stored < chunk_start) {
            const std::optional<std::size_t> got = read_at(file.descriptor(), stored, chunk.data(), chunk.size());
            if (!got) {
                error = IoError{IoError::Action::read, file.name(), errno, {}};
                return std::nullopt;
            }
            chunk_start = stored;
            chunk_size = *got;
            if (chunk_size == 0) {
                return members;
            }
        }
        const std::size_t at = static_cast<std::size_t>(stored - chunk_start);
        const std::size_t size = codecs::bgzf_member_size({chunk.data() + at, chunk_size - at});
        if (size == 0) {
            error = IoError::bad_content(file.name(), "not BGZF past byte " + std::to_string(stored));
            return std::nullopt;
        }
        if (at + size > chunk_size) {
            if (chunk_size < chunk.size()) {
                error = IoError::bad_content(file.name(),
                                             "the BGZF member at byte " + std::to_string(stored) + " is cut short");
                return std::nullopt;
            }
            chunk_size = 0;  // read again from the member's start
            continue;
        }
        const std::uint32_t text_size = codecs::bgzf_member_text_size({chunk.data() + at, size});
        // An empty member (bgzip ends every file with one) holds no text to find, and samtools
        // leaves it out of a .gzi.
        if (text_size > 0 || members.empty()) {
            members.push_back({stored, text});
        }
        text += text_size;
        stored += size;
    }
}

BgzfMemberCache::BgzfMemberCache() = default;
BgzfMemberCache::~BgzfMemberCache() = default;

void BgzfMemberCache::read_ahead(const InputFile& file, const std::vector<BgzfMember>& members,
                                 const std::vector<TextRange>& ranges, unsigned helpers) {
    ahead_.reset();
    if (helpers > 0) {
        ahead_ = std::make_unique<BgzfReadAhead>(file, planned_members(members, ranges), helpers);
    }
}

const BgzfMemberCache::Member* BgzfMemberCache::find(std::uint64_t stored) {
    if (ahead_) {
        if (const Member* const inflated = ahead_->take(stored)) {
            return inflated;
        }
    }
    for (const Member& member : members_) {
        if (member.text && member.stored == stored) {
            return &member;
        }
    }
    return nullptr;
}

void BgzfMemberCache::keep(Member member) {
    members_[next_] = std::move(member);
    next_ = (next_ + 1) % kept;
}

std::unique_ptr<ByteSource> open_region(const InputFile& file, std::uint64_t begin, std::uint64_t end,
                                        const std::vector<BgzfMember>* members, BgzfMemberCache* cache) {
    if (members != nullptr) {
        return std::make_unique<BgzfRegion>(file, begin, end, *members, cache);
    }
    return std::make_unique<PlainRegion>(file, begin, end);
}

}  // namespace io
