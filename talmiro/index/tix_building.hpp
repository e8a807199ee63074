// talmiro --index: for each file, the indexes that let later runs read only the records they
// take. FILE.tix (our name table), FILE.fai (for samtools and the field) where the records'
// lines allow one, and FILE.gzi for a BGZF file.
#pragma once

#include "front/session.hpp"

#include <string>
#include <vector>

namespace talmiro {

// The suffixes of the index files beside a file.
inline constexpr std::string_view tix_suffix = ".tix";
inline constexpr std::string_view fai_suffix = ".fai";
inline constexpr std::string_view gzi_suffix = ".gzi";

session::Outcome build_indexes(session::Front& front, const std::vector<std::string>& files);

}  // namespace talmiro
