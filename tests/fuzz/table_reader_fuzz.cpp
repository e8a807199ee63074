// The labelled-table, pairs and lower-triangle readers on any text: a defined outcome always, and
// a table or pairs list that reads whole gives each listed row the values its cells hold.
#include "fuzz_support.hpp"
#include "io/progress.hpp"
#include "orvane/readers/lower_reading.hpp"
#include "orvane/readers/pair_reading.hpp"
#include "orvane/readers/table_reading.hpp"

#include <array>
#include <cstdlib>
#include <sstream>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzzing::Pieces parts(data, size);
    const std::uint8_t choice = parts.take_byte();
    const std::string list = parts.take_part();
    const std::string text = parts.take_rest();
    text::NameList names;
    std::istringstream words(list);
    for (std::string word; words >> word;) {
        names.add(word);
    }
    orvane::IdTable ids(std::move(names));
    const fuzzing::MemoryFile file(text);
    constexpr std::array layouts = {orvane::Layout::lower, orvane::Layout::tsv, orvane::Layout::csv,
                                    orvane::Layout::ssv, orvane::Layout::pairs};
    const orvane::Layout layout = layouts[choice % layouts.size()];
    {
        io::ReadBuffer input(file.open(), fuzzing::buffer_size_for(choice >> 2), fuzzing::access_for(choice >> 2));
        if (layout == orvane::Layout::lower) {
            orvane::TokenReader triangle(std::move(input));
            std::int32_t order = orvane::read_matrix_order(triangle);
            order = std::min(std::max(order, 0), 4096);
            orvane::DistanceRows<double> rows(ids.ids().slot_count(), static_cast<std::size_t>(order));
            const bool diagonal = (choice & 8) != 0;
            orvane::ValueTexts texts(ids.ids().slot_count(), orvane::text_shape(orvane::Layout::lower, diagonal));
            if (orvane::read_lower_triangle(triangle, ids, order, diagonal, rows, &texts, io::Progress())) {
                return 0;
            }
            // Every cell of the cut, read across the triangle, is the text of its value.
            for (std::uint32_t slot = 0; slot < ids.ids().slot_count(); ++slot) {
                for (std::uint32_t column = 0; column < ids.ids().slot_count(); ++column) {
                    const std::int32_t row = ids.matrix_row(slot);
                    const std::int32_t at = ids.matrix_row(column);
                    if (row == orvane::IdTable::not_found || at == orvane::IdTable::not_found) {
                        continue;
                    }
                    const std::string cell_text(texts.cell(slot, row, column, at));
                    fuzzing::require(std::strtod(cell_text.c_str(), nullptr) == rows.row(slot)[at],
                                     "each lower cell as its text holds it");
                }
            }
            return 0;
        }
        io::LineReader table(std::move(input));
        if (layout == orvane::Layout::pairs) {
            std::optional<orvane::PairMatrix> matrix;
            if (orvane::read_pairs(table, ids, true, io::Progress(), matrix)) {
                return 0;
            }
            for (std::uint32_t slot = 0; slot < ids.ids().slot_count(); ++slot) {
                if (ids.matrix_row(slot) == orvane::IdTable::not_found) {
                    continue;
                }
                for (std::uint32_t column = 0; column < ids.ids().slot_count(); ++column) {
                    if (ids.matrix_row(column) == orvane::IdTable::not_found) {
                        continue;
                    }
                    const std::string cell_text(matrix->texts->row(slot).value(column));
                    const double expected = std::strtod(cell_text.c_str(), nullptr);
                    const double got = matrix->rows.row(slot)[column];
                    fuzzing::require(got == expected || (got != got && expected != expected),
                                     "each pair's value as its text holds it");
                }
            }
            return 0;
        }
        std::string first_row;
        orvane::TableHeader header;
        // A header and row that make no table are refused with a message saying why.
        if (orvane::read_table_header(table, layout, header, first_row) || header.names.size() > 4096) {
            return 0;
        }
        orvane::DistanceRows<double> rows(ids.ids().slot_count(), header.names.size());
        orvane::ValueTexts texts(ids.ids().slot_count());
        if (orvane::read_table_rows(table, layout, header, first_row, ids, rows, &texts, io::Progress())) {
            return 0;
        }
        for (std::uint32_t slot = 0; slot < ids.ids().slot_count(); ++slot) {
            if (ids.matrix_row(slot) == orvane::IdTable::not_found) {
                continue;
            }
            for (std::size_t column = 0; column < header.names.size(); ++column) {
                const std::string cell_text(texts.row(slot).value(column));
                char* end = nullptr;
                const double expected = std::strtod(cell_text.c_str(), &end);
                const double got = rows.row(slot)[column];
                fuzzing::require(got == expected || (got != got && expected != expected),
                                 "each value as its cell holds it");
            }
        }
    }
    return 0;
}
