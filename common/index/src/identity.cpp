#include "index/identity.hpp"

#include "index/checksum.hpp"
#include "text/quoting.hpp"

namespace indexing {

namespace {

constexpr std::chrono::seconds coarsest_tick{2};

std::chrono::system_clock::time_point time_of(std::int64_t seconds, std::int64_t nanoseconds) {
    return std::chrono::system_clock::time_point(std::chrono::duration_cast<std::chrono::system_clock::duration>(
        std::chrono::seconds(seconds) + std::chrono::nanoseconds(nanoseconds)));
}

// Brings the index's stamp up to date once its content proved the file's; where it cannot be
// written, the next run checks again, and -v says why.
void refresh_stamp(const IndexFile& index, const io::FileStamp& stamp, const Reporting& reporting) {
    IndexHeader header = index.header();
    header.stamp = stamp;
    header.check_content = racy(stamp, reporting.now());
    if (header.stamp == index.header().stamp && header.check_content) {
        return;
    }
    std::string why_not;
    if (!index.rewrite_header(header, why_not)) {
        reporting.note(text::file_label(index.path(), false) +
                       " proved right but could not be brought up to date, so each run checks it again: " + why_not);
    }
}

}  // namespace

bool racy(const io::FileStamp& stamp, std::chrono::system_clock::time_point now) {
    const auto changed =
        std::max(time_of(stamp.seconds, stamp.nanoseconds), time_of(stamp.change_seconds, stamp.change_nanoseconds));
    return changed + coarsest_tick > now;
}

void confirm_identity(const IndexFile& index, const io::InputFile& file, const io::FileStamp& stamp,
                      const Reporting& reporting) {
    const IndexHeader& header = index.header();
    if (header.stamp.size != stamp.size) {
        throw made_for_another_version(index.path(), file.name());
    }
    if (header.stamp == stamp && !header.check_content) {
        return;
    }
    std::optional<io::IoError> error;
    const std::optional<std::uint64_t> content = checksum_file(file.descriptor(), file.name(), stamp.size, error);
    if (!content) {
        throw Untrusted{error->describe()};
    }
    if (*content != header.content) {
        throw made_for_another_version(index.path(), file.name());
    }
    reporting.note(text::file_label(file.name(), false) + " was checked against " +
                   text::file_label(index.path(), false) +
                   (header.stamp == stamp ? " (it changed too lately for its stamp to tell)"
                                          : " (its stamp differed, its content is the same)"));
    refresh_stamp(index, stamp, reporting);
}

}  // namespace indexing
