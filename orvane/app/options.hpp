// orvane's own batch options.
#pragma once

#include "front/program.hpp"
#include "orvane/model/choice.hpp"

#include <cstdint>
#include <optional>
#include <string>

namespace orvane {

struct Options {
    std::string input_format = "auto";      // auto, or a layout's name
    std::string output_format;              // a layout's name; empty: the input's
    bool list_lines = false;                // the list holds one ID per line, blanks and all
    bool check = false;                     // the cut must be symmetric with a zero diagonal
    bool exclude = false;                   // keep every ID but the listed, in matrix order
    std::uint32_t dataset = 0;              // the one data set to cut (from 1); 0: every one
    bool no_index = false;                  // read the whole matrix even where MATRIX.oix is beside it
    std::optional<std::uint32_t> decimals;  // values in fixed point; none: each as the input wrote it
    bool allow_na = false;                  // missing values (NA, NaN, empty) pass into table outputs
};

// Binds the options to the command line.
void declare_options(session::OptionSet& options, Options& values);
// Why the options cannot go together, when they cannot.
std::optional<std::string> misuse(const session::BatchOptions& common, const Options& options);
// What the options ask for (once the command line has held each choice to its names).
Choice choice_of(const Options& options);

}  // namespace orvane
