// The shells' completions and the plain option list, written from a program's option
// definitions. The build makes the installed completions with `PROGRAM --generate complete-bash`
// (or complete-zsh), so that they always offer what the program takes.
#pragma once

#include "front/program.hpp"

#include <string>
#include <vector>

namespace session {

// A bash function and `complete -F` for it: options, each choice's values, file names where a
// file goes (and after the files mode's option).
std::string bash_completion(const Program& program, const std::vector<OptionInfo>& options);
// A zsh `#compdef` file for `_arguments`: the same, with each option's help and the options that
// exclude each other.
std::string zsh_completion(const Program& program, const std::vector<OptionInfo>& options);
// Every spelling of every option, one a line.
std::string option_names(const std::vector<OptionInfo>& options);

// What `--generate WHAT` writes, or nothing for a WHAT it does not know.
std::optional<std::string> generated(std::string_view what, const Program& program, BatchProgram& batch);

}  // namespace session
