// What the shared front end needs of orvane: its name and texts, its files and its dialogue.
#pragma once

#include "front/program.hpp"

namespace orvane {

const session::Program& program();

}  // namespace orvane
