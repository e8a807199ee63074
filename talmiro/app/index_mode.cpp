#include "talmiro/app/index_mode.hpp"

#include "front/index_mode.hpp"
#include "index/gzi_format.hpp"
#include "talmiro/index/tix_scanning.hpp"
#include "text/quoting.hpp"

namespace talmiro {

namespace {

constexpr session::CountKind records_indexed{"records indexed", {}, {}};

// BGZF is read from the middle through its .gzi; a gzip or zstd stream only from its start.
std::optional<std::string> why_not_indexable(io::Storage storage) {
    if (storage == io::Storage::gzip || storage == io::Storage::zstd) {
        return std::string(storage == io::Storage::gzip ? "gzip" : "zstd") +
               " cannot be read from the middle: recompress it with bgzip (BGZF) to index it";
    }
    return std::nullopt;
}

void write_file(session::Front& front, const std::string& path, std::string_view bytes) {
    io::OutputFile output = front.create_named_output(path);
    output.write(bytes);
    session::close_outputs({&output});
}

void index_file(session::Front& front, const std::string& path) {
    indexing::Indexable indexable = session::open_to_index_or_abort(path, why_not_indexable);
    const std::optional<io::FileStamp> stamp = indexable.stamp;
    const io::Storage storage = indexable.storage;
    io::InputFile file = std::move(indexable.file);
    std::optional<std::vector<io::BgzfMember>> members;
    if (storage == io::Storage::bgzf) {
        std::optional<io::IoError> error;
        members = io::list_bgzf_members(file, error);
        if (!members) {
            session::raise_unreadable(*error);
        }
    }
    // The scan takes the file; the checks after it read through a second descriptor.
    io::InputFile again = session::open_again_or_abort(path);
    io::OutputFile fai = front.create_named_output(path + std::string(fai_suffix));
    // Compressed text is seldom more than a fifth of its size.
    const std::uint64_t text_guess = members ? stamp->size * 5 : stamp->size;
    Scanned scanned;
    if (const auto unindexable = scan_for_index(std::move(file), path, fai, text_guess, scanned)) {
        session::raise_unreadable(*unindexable);
    }
    if (const auto unindexable = check_first_marker(again, path, scanned, members ? &*members : nullptr)) {
        session::raise_unreadable(*unindexable);
    }
    if (io::stamp_of(again.descriptor()) != stamp) {
        session::raise_unreadable(io::IoError::changed_while_read(path));
    }
    TixFacts facts;
    facts.stamp = *stamp;
    facts.format = scanned.format;
    facts.bgzf = members.has_value();
    facts.text_size = scanned.text_size;
    {
        io::OutputFile tix = front.create_named_output(path + std::string(tix_suffix));
        write_tix(tix, facts, scanned.table);
        session::close_outputs({&tix});
    }
    if (scanned.undescribable.empty()) {
        session::close_outputs({&fai});
    } else {
        front.warn(text::file_label(path, false) + ": the lines of record '" + scanned.undescribable +
                   "' differ in length, which a .fai cannot describe: " +
                   text::file_label(path + std::string(tix_suffix), false) + " alone is written");
    }
    if (members) {
        write_file(front, path + std::string(gzi_suffix), indexing::gzi_bytes(*members));
    }
    front.show_count(records_indexed, static_cast<std::int64_t>(scanned.table.entries().size()));
}

}  // namespace

session::Outcome build_indexes(session::Front& front, const std::vector<std::string>& files) {
    return session::index_each(files, [&](const std::string& path) { index_file(front, path); });
}

}  // namespace talmiro
