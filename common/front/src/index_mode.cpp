#include "front/index_mode.hpp"

namespace session {

namespace {

[[noreturn]] void abort_with(const indexing::Refusal& refusal) {
    switch (refusal.kind) {
    case indexing::Refusal::Kind::misuse:
        throw Abort{Failure::cannot_open_input, refusal.message, true};
    case indexing::Refusal::Kind::cannot_open:
        throw Abort{Failure::cannot_open_input, refusal.message};
    case indexing::Refusal::Kind::cannot_index:
        break;
    }
    throw Abort{Failure::unreadable_input, refusal.message};
}

}  // namespace

indexing::Indexable open_to_index_or_abort(const std::string& path, const indexing::StorageRule& can_index) {
    indexing::Refusal refusal;
    std::optional<indexing::Indexable> indexable = indexing::open_to_index(path, can_index, refusal);
    if (!indexable) {
        abort_with(refusal);
    }
    return std::move(*indexable);
}

indexing::Reporting index_reporting(Front& front) {
    return {[&front](std::string_view what) { front.warn(what); },
            [&front](std::string_view what) { front.note(what); }};
}

Outcome index_each(const std::vector<std::string>& files, const std::function<void(const std::string&)>& index_file) {
    for (const std::string& path : files) {
        index_file(path);
    }
    return Outcome::done;
}

}  // namespace session
