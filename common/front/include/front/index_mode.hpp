// The --index mode as a session runs it: each file named is opened by the index engine, and a
// file that cannot have an index is the run's failure, as any unreadable input is.
#pragma once

#include "front/session.hpp"
#include "index/identity.hpp"
#include "index/indexable.hpp"

#include <functional>
#include <string>
#include <vector>

namespace session {

// The file to index, or the step's Abort saying why it cannot be.
indexing::Indexable open_to_index_or_abort(const std::string& path, const indexing::StorageRule& can_index);

// Where the index code of a run through `front` warns and notes, at the wall clock's time.
indexing::Reporting index_reporting(Front& front);

// Indexes each file in turn; the first that fails ends the run.
Outcome index_each(const std::vector<std::string>& files, const std::function<void(const std::string&)>& index_file);

}  // namespace session
