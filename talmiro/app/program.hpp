// What the shared front end needs of talmiro: its name and texts, its files and its dialogue.
#pragma once

#include "front/program.hpp"

namespace talmiro {

const session::Program& program();

}  // namespace talmiro
