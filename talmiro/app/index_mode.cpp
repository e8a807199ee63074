#include "talmiro/app/index_mode.hpp"

#include "front/index_mode.hpp"
#include "index/checksum.hpp"
#include "index/gzi_format.hpp"
#include "talmiro/index/tix_scanning.hpp"
#include "text/quoting.hpp"

namespace talmiro {

namespace {

constexpr session::CountKind records_indexed{"records indexed", {}, {}};

// BGZF is read from the middle through its .gzi; a gzip, zstd, bzip2 or xz stream only from its start.
std::optional<std::string> why_not_indexable(io::Storage storage) {
    if (const std::optional<std::string> stream = io::stream_only(storage)) {
        return *stream + " cannot be read from the middle: recompress it with bgzip (BGZF) to index it";
    }
    return std::nullopt;
}

// Every index file of one input is written in full before any takes its name, the .tix last
// (it records the others' sizes and checksums): a run that fails on the way leaves the indexes
// that were there as they were.
void commit_indexes(session::Front& front, const std::string& path, const Scanned& scanned,
                    const indexing::IndexHeader& identity, io::OutputFile& fai,
                    const std::optional<std::vector<io::BgzfMember>>& members) {
    TixFacts facts;
    facts.format = scanned.format;
    facts.bgzf = members.has_value();
    facts.text_size = scanned.text_size;
    std::optional<io::OutputFile> gzi;
    // The .gzi's bytes, written for samtools and kept in the .tix for talmiro.
    const std::string gzi_bytes = members ? indexing::gzi_bytes(*members) : std::string();
    if (members) {
        gzi = front.create_named_output(path + std::string(gzi_suffix));
        gzi->write(gzi_bytes);
        facts.gzi = Companion{gzi_bytes.size(), indexing::checksum(gzi_bytes)};
    }
    const bool with_fai = scanned.undescribable.empty();
    if (with_fai) {
        facts.fai = scanned.fai;
    } else {
        front.warn(text::file_label(path, false) + ": record '" + scanned.undescribable +
                   "': " + scanned.why_undescribable + ": " + text::file_label(path + std::string(tix_suffix), false) +
                   " alone is written");
    }
    io::OutputFile tix = front.create_named_output(path + std::string(tix_suffix));
    write_tix(tix, identity, facts, scanned.table, gzi_bytes);
    session::close_outputs({with_fai ? &fai : nullptr, gzi ? &*gzi : nullptr, &tix});
}

void index_file(session::Front& front, const std::string& path) {
    indexing::Indexable indexable = session::open_to_index_or_abort(path, why_not_indexable);
    const io::FileStamp stamp = indexable.stamp;
    // A plain file's bytes are summed as the scan reads them; BGZF's as stored, on a helper.
    const bool plain = indexable.storage == io::Storage::plain;
    indexing::ContentSum content(path, stamp,
                                 plain ? indexing::ContentSum::Source::scan : indexing::ContentSum::Source::file);
    io::InputFile file = std::move(indexable.file);
    std::optional<std::vector<io::BgzfMember>> members;
    if (indexable.storage == io::Storage::bgzf) {
        std::optional<io::IoError> error;
        members = io::list_bgzf_members(file, error);
        if (!members) {
            session::raise_unreadable(*error);
        }
    }
    io::OutputFile fai = front.create_named_output(path + std::string(fai_suffix));
    // Compressed text is seldom more than a fifth of its size.
    const std::uint64_t text_guess = members ? stamp.size * 5 : stamp.size;
    Scanned scanned;
    const auto summing = [&content](std::string_view bytes) { content.add(bytes); };
    if (const auto unindexable = scan_for_index(std::move(file), path, fai, text_guess, scanned,
                                                plain ? std::function<void(std::string_view)>(summing) : nullptr)) {
        session::raise_unreadable(*unindexable);
    }
    indexing::IndexHeader identity;
    if (const auto changed = indexing::identify(path, stamp, content, std::chrono::system_clock::now(), identity)) {
        session::raise_unreadable(*changed);
    }
    commit_indexes(front, path, scanned, identity, fai, members);
    front.show_count(records_indexed, static_cast<std::int64_t>(scanned.table.places().size()));
}

}  // namespace

session::Outcome build_indexes(session::Front& front, const std::vector<std::string>& files) {
    return session::index_each(files, [&](const std::string& path) { index_file(front, path); });
}

}  // namespace talmiro
