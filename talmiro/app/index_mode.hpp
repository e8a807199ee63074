// talmiro --index: for each file, the indexes that let later runs read only the records they
// take. FILE.tix (our name table), FILE.fai (for samtools and the field) where the records'
// lines allow one, and FILE.gzi for a BGZF file.
#pragma once

#include "front/session.hpp"

#include <string>
#include <vector>

namespace talmiro {

session::Outcome build_indexes(session::Front& front, const std::vector<std::string>& files);

}  // namespace talmiro
