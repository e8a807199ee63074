#include "index/trust.hpp"

#include "io/file_system.hpp"
#include "text/quoting.hpp"

namespace indexing {

namespace {

std::string label(const std::string& path) { return text::file_label(path, false); }

}  // namespace

Untrusted cannot_be_used(const std::string& index_path, const std::string& why_not) {
    return {label(index_path) + " cannot be used: " + why_not};
}

Untrusted made_for_another_version(const std::string& index_path, const std::string& file_path) {
    return {label(index_path) + " was made for another version of " + label(file_path)};
}

Untrusted does_not_match(const std::string& index_path, const std::string& file_path, const std::string& what) {
    return {label(index_path) + " does not match " + label(file_path) + " (" + what + ")"};
}

Untrusted not_an_index_file(const std::string& index_path, const std::string& kind) {
    return {label(index_path) + " is " + kind + ", not an index file"};
}

void require_regular(const std::string& index_path) {
    if (const std::optional<std::string> kind = io::special_file_kind(index_path)) {
        throw not_an_index_file(index_path, *kind);
    }
}

std::string reading_whole(const Untrusted& untrusted) { return untrusted.why + ": reading it whole"; }

}  // namespace indexing
