// orvane's batch mode on matrices made from the fuzzer's bytes, in every layout, with random
// options, one value spoiled or the file cut short after a line: a run that succeeds wrote
// exactly the listed sub-matrix, each value as its text, as a straightforward formatting gives it; a run
// that fails said why and left no output.
#include "front/batch_front.hpp"
#include "fuzz_support.hpp"
#include "orvane/app/files.hpp"
#include "orvane/app/program.hpp"
#include "orvane/app/run.hpp"
#include "orvane/formats/layouts.hpp"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <sstream>

namespace {

const std::vector<std::string> values = {"0", "1", "0.5", "12.25", "1e-3", "100", "0.1234567", "-2", "3.0", "7e1"};

struct Matrix {
    std::vector<std::string> names;
    std::vector<std::vector<std::string>> cells;  // symmetric, as text
};

Matrix made_matrix(fuzzing::Pieces& parts) {
    Matrix matrix;
    const std::size_t order = 1 + parts.take_byte() % 12;
    for (std::size_t row = 0; row < order; ++row) {
        matrix.names.push_back("n" + std::to_string(row) + (parts.take_byte() % 3 == 0 ? "_x" : ""));
    }
    matrix.cells.assign(order, std::vector<std::string>(order, "0"));
    for (std::size_t row = 0; row < order; ++row) {
        for (std::size_t column = 0; column < row; ++column) {
            matrix.cells[row][column] = matrix.cells[column][row] = values[parts.take_byte() % values.size()];
        }
    }
    return matrix;
}

std::string text_of(const Matrix& matrix, orvane::Layout layout) {
    const std::size_t order = matrix.names.size();
    std::string text;
    if (layout == orvane::Layout::square || layout == orvane::Layout::lower) {
        text = std::to_string(order) + "\n";
        for (std::size_t row = 0; row < order; ++row) {
            text += matrix.names[row];
            const std::size_t columns = layout == orvane::Layout::square ? order : row;
            for (std::size_t column = 0; column < columns; ++column) {
                text += " " + matrix.cells[row][column];
            }
            text += "\n";
        }
        return text;
    }
    if (layout == orvane::Layout::pairs) {
        for (std::size_t column = 0; column < order; ++column) {
            for (std::size_t row = 0; row < order; ++row) {
                text += matrix.names[row] + "\t" + matrix.names[column] + "\t" + matrix.cells[row][column] + "\t0\n";
            }
        }
        return text;
    }
    const char delimiter = orvane::delimiter_of(layout);
    const bool as_r = layout == orvane::Layout::ssv;
    for (std::size_t column = 0; column < order; ++column) {
        text += (as_r && column == 0 ? "" : std::string(1, delimiter)) +
                (as_r ? "\"" + matrix.names[column] + "\"" : matrix.names[column]);
    }
    text += "\n";
    for (std::size_t row = 0; row < order; ++row) {
        text += as_r ? "\"" + matrix.names[row] + "\"" : matrix.names[row];
        for (std::size_t column = 0; column < order; ++column) {
            text += delimiter + matrix.cells[row][column];
        }
        text += "\n";
    }
    return text;
}

// A value as batch mode writes it in the fixed-width layouts: its own text, right-aligned in the
// field of 10, with a blank before it where it fills the field.
std::string text_field(const std::string& text) {
    return text.size() < 10 ? std::string(10 - text.size(), ' ') + text : " " + text;
}

// What the run should write: the listed rows found, in list order, in the output layout.
std::string expected_output(const Matrix& matrix, const std::vector<std::size_t>& found, orvane::Layout output) {
    std::string text;
    if (output == orvane::Layout::square || output == orvane::Layout::lower) {
        char count[32];
        std::snprintf(count, sizeof count, "%5zu\n", found.size());
        text = count;
        for (std::size_t index = 0; index < found.size(); ++index) {
            const std::string& name = matrix.names[found[index]];
            text += name + (name.size() < 10 ? std::string(10 - name.size(), ' ') : "");
            const std::size_t columns = output == orvane::Layout::square ? found.size() : index;
            for (std::size_t column = 0; column < columns; ++column) {
                text += text_field(matrix.cells[found[index]][found[column]]);
            }
            text += "\n";
        }
        return text;
    }
    // Every layout carries each value as its input text.
    const auto cell_text = [&](std::size_t row, std::size_t column) { return matrix.cells[row][column]; };
    if (output == orvane::Layout::pairs) {
        for (const std::size_t row : found) {
            for (const std::size_t column : found) {
                text += matrix.names[row] + "\t" + matrix.names[column] + "\t" + cell_text(row, column) + "\n";
            }
        }
        return text;
    }
    const char delimiter = orvane::delimiter_of(output);
    const bool as_r = output == orvane::Layout::ssv;
    const auto name = [&](std::size_t row) { return as_r ? "\"" + matrix.names[row] + "\"" : matrix.names[row]; };
    for (std::size_t index = 0; index < found.size(); ++index) {
        text += (as_r && index == 0 ? "" : std::string(1, delimiter)) + name(found[index]);
    }
    text += "\n";
    for (const std::size_t row : found) {
        text += name(row);
        for (const std::size_t column : found) {
            text += delimiter + cell_text(row, column);
        }
        text += "\n";
    }
    return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzzing::Pieces parts(data, size);
    const std::uint8_t choices = parts.take_byte();
    const std::uint8_t more = parts.take_byte();
    const auto input = static_cast<orvane::Layout>(choices % 6);
    const auto output = static_cast<orvane::Layout>((choices / 6) % 6);
    const bool named_input = (more & 1) != 0;
    const bool allow_missing = (more & 2) != 0;
    const bool exclude = (more & 4) != 0;
    const std::uint8_t spoil = parts.take_byte();
    Matrix matrix = made_matrix(parts);
    const std::size_t order = matrix.names.size();

    std::string list;
    std::vector<std::size_t> found;
    bool missing = false;
    for (std::size_t entries = 1 + parts.take_byte() % 8; entries > 0; --entries) {
        const std::size_t pick = parts.take_byte() % (order + 2);
        list += (pick < order ? matrix.names[pick] : "absent" + std::to_string(pick)) + "\n";
        if (pick < order) {
            found.push_back(pick);
        } else {
            missing = true;
        }
    }
    if (exclude) {
        // Every row but the listed, in the matrix's order; listed names it lacks are no loss.
        std::vector<std::size_t> kept;
        for (std::size_t row = 0; row < order; ++row) {
            if (std::find(found.begin(), found.end(), row) == found.end()) {
                kept.push_back(row);
            }
        }
        found = kept;
        missing = false;
    }
    const std::string expected = expected_output(matrix, found, output);
    std::string text = text_of(matrix, input);
    // A value that is no number, in a row and column of the fuzzer's choosing, or a cut file.
    if (spoil % 4 == 1) {
        const std::size_t row = parts.take_byte() % order;
        const std::size_t column = parts.take_byte() % order;
        if (input != orvane::Layout::lower || column < row) {
            matrix.cells[row][column] = "NA";
            text = text_of(matrix, input);
        }
    } else if (spoil % 4 == 2 && input != orvane::Layout::pairs) {
        // (Pairs cut short may still make a whole sub-matrix, of fewer IDs.) At a line's end: a cut inside a number can
        // leave another number, which no reader could tell from the file's own.
        const std::size_t cut = text.size() * parts.take_byte() / 256;
        text.resize(cut == 0 ? 0 : text.rfind('\n', cut - 1) + 1);
    }

    const fuzzing::InScratchFolder scratch;
    fuzzing::write_whole("list", list);
    fuzzing::write_whole("matrix", text);
    session::BatchOptions common;
    common.paths = {{&orvane::list_file, "list"},
                    {&orvane::matrix_file, "matrix"},
                    {&orvane::output_file, "out"},
                    {&orvane::sample_file, ""}};
    common.allow_missing = allow_missing;
    orvane::Options options;
    options.input_format = named_input ? std::string(orvane::layout_names[static_cast<std::size_t>(input)]) : "auto";
    options.output_format = orvane::layout_names[static_cast<std::size_t>(output)];
    options.exclude = exclude;
    std::ostringstream err;
    io::TempFiles temps;
    session::BatchFront front(orvane::program(), common, err, temps);
    const session::Outcome outcome = orvane::run_batch(front, common, options);
    if (outcome != session::Outcome::done) {
        fuzzing::require(!err.str().empty(), "a failed run says why");
        fuzzing::require(!std::filesystem::exists("out"), "a failed run leaves no output");
        return 0;
    }
    fuzzing::require(!missing || allow_missing, "a missing name fails the run unless allowed");
    fuzzing::require(fuzzing::read_whole("out") == expected, "the output is the listed sub-matrix");
    return 0;
}
