// An index is used only where it is the file's own: anything else about it is said once, and the
// file is read whole, which gives the same output. These are the reasons both programs give.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace indexing {

// Where a run says, once, that it passes over an index.
using Warn = std::function<void(std::string_view)>;

// Why an index cannot be trusted for this run.
struct Untrusted {
    std::string why;
};

// "FILE.oix cannot be used: it is damaged"
Untrusted cannot_be_used(const std::string& index_path, const std::string& why_not);
// The stamp stored in the index is not the file's.
Untrusted made_for_another_version(const std::string& index_path, const std::string& file_path);
// What the index says and what the file holds differ; `what` says where.
Untrusted does_not_match(const std::string& index_path, const std::string& file_path, const std::string& what);

// What stands at an index's path is no file at all (a FIFO, a directory, a device): never
// opened, so it can neither hang the run nor feed it without end.
Untrusted not_an_index_file(const std::string& index_path, const std::string& kind);
// Throws not_an_index_file where `index_path` names anything but a regular file or nothing.
void require_regular(const std::string& index_path);

// The warning a run gives before reading the file whole.
std::string reading_whole(const Untrusted& untrusted);

}  // namespace indexing
