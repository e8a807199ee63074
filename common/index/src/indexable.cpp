#include "index/indexable.hpp"

#include "index/checksum.hpp"
#include "index/identity.hpp"
#include "io/file_system.hpp"
#include "text/quoting.hpp"

namespace indexing {

namespace {

bool names_standard_input(const std::string& path, Refusal& refusal) {
    if (path == "-") {
        refusal = {Refusal::Kind::misuse, "an index is made for a file: standard input (-) cannot have one"};
        return true;
    }
    if (names_a_stream(path)) {
        refusal = {Refusal::Kind::misuse, "an index is made for a file: " + text::file_label(path, false) +
                                              " names standard input or an open descriptor, which cannot have one"};
        return true;
    }
    return false;
}

}  // namespace

bool names_a_stream(const std::string& path) {
    for (const std::string_view stream : {"/dev/stdin", "/dev/fd/", "/proc/self/fd/", "/proc/thread-self/fd/"}) {
        if (stream.back() == '/' ? path.starts_with(stream) : path == stream) {
            return true;
        }
    }
    return path == "-";
}

std::optional<io::InputFile> open_again(const std::string& path, Refusal& refusal) {
    if (names_standard_input(path, refusal)) {
        return std::nullopt;
    }
    std::optional<io::IoError> error;
    std::optional<io::InputFile> file = io::InputFile::open(path, &error);
    if (!file) {
        refusal = {Refusal::Kind::cannot_open, error->describe()};
    }
    return file;
}

std::optional<Indexable> open_to_index(const std::string& path, const StorageRule& can_index, Refusal& refusal) {
    // Looked at before it is opened: opening a FIFO would wait for a writer.
    if (const std::optional<std::string> kind = io::special_file_kind(path); kind && !names_a_stream(path)) {
        refusal = {Refusal::Kind::cannot_index,
                   text::file_label(path, false) + ": only a regular file can have an index, and it is " + *kind};
        return std::nullopt;
    }
    if (names_standard_input(path, refusal)) {
        return std::nullopt;
    }
    // Taken before the file is looked at, so that what is read is what was there once the
    // run before let go.
    std::optional<io::IoError> error;
    std::optional<io::ExclusiveLock> lock = io::ExclusiveLock::take(path, error);
    if (!lock) {
        refusal = {Refusal::Kind::cannot_open, error->describe()};
        return std::nullopt;
    }
    std::optional<io::InputFile> file = open_again(path, refusal);
    if (!file) {
        return std::nullopt;
    }
    const std::optional<io::FileStamp> stamp = io::stamp_of(file->descriptor());
    if (!stamp) {
        refusal = {Refusal::Kind::cannot_index,
                   text::file_label(path, false) + ": only a regular file can have an index"};
        return std::nullopt;
    }
    const io::Storage storage = io::storage_of(*file);
    if (const std::optional<std::string> why_not = can_index(storage)) {
        refusal = {Refusal::Kind::cannot_index, text::file_label(path, false) + ": " + *why_not};
        return std::nullopt;
    }
    return Indexable{std::move(*lock), std::move(*file), *stamp, storage};
}

ContentSum::ContentSum(const std::string& path, const io::FileStamp& stamp, Source source)
    : path_(path), stamp_(stamp), source_(source) {
    if (source_ == Source::scan) {
        return;
    }
    helper_ = std::make_unique<threads::Helper>([this](const std::stop_token&) { sum(); });
    if (!helper_->running()) {
        helper_.reset();
    }
}

void ContentSum::sum() {
    std::uint64_t size = 0;
    const io::FileDescriptor file = io::open_regular(path_, size, error_);
    if (file.valid()) {
        // Beside a scan that has the other core.
        sum_ = checksum_file(file.get(), path_, stamp_.size, error_, Sharing::one_core);
    }
}

std::optional<std::uint64_t> ContentSum::result(std::optional<io::IoError>& error) {
    if (source_ == Source::scan) {
        if (scanned_.size() != stamp_.size) {
            error = io::IoError::changed_while_read(path_);
            return std::nullopt;
        }
        return scanned_.value();
    }
    if (helper_) {
        helper_->stop();
        helper_.reset();
    } else if (!sum_ && !error_) {
        sum();
    }
    error = error_;
    return sum_;
}

std::optional<io::IoError> identify(const std::string& path, const io::FileStamp& stamp, ContentSum& content,
                                    std::chrono::system_clock::time_point now, IndexHeader& header) {
    std::optional<io::IoError> error;
    const std::optional<std::uint64_t> sum = content.result(error);
    if (!sum) {
        return error;
    }
    // The checksum was read through a descriptor of its own: the same file, unchanged, if the
    // stamp is still the one taken before the scan.
    if (const auto changed = changed_since(path, stamp)) {
        return changed;
    }
    header.stamp = stamp;
    header.content = *sum;
    header.check_content = racy(stamp, now);
    return std::nullopt;
}

std::optional<io::IoError> changed_since(const std::string& path, const io::FileStamp& stamp) {
    if (io::stamp_of(path) != stamp) {
        return io::IoError::changed_while_read(path);
    }
    return std::nullopt;
}

}  // namespace indexing
