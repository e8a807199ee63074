// The outputs of a batch run: created once the first data set to write has been read and cut,
// then written data set after data set in the layout asked for.
#pragma once

#include "front/session.hpp"
#include "io/output_file.hpp"
#include "orvane/formats/layouts.hpp"
#include "orvane/formats/short_names.hpp"
#include "orvane/model/data_set.hpp"
#include "orvane/model/id_table.hpp"
#include "orvane/readers/table_reading.hpp"

#include <optional>

namespace orvane {

// Rows written, as -v counts them after each data set (the dialogue's write counts them too).
inline constexpr session::CountKind rows_written{"written", {}, {}};

// The matrix output and, where the run writes one, the sample, created in that order (the
// dialogue asks for them so); refused when both reach one file. Both modes create them here.
struct MatrixOutputs {
    io::OutputFile matrix;
    std::optional<io::OutputFile> sample;

    io::OutputFile* sample_or_none() { return sample ? &*sample : nullptr; }
};
MatrixOutputs create_matrix_outputs(session::Front& front);

// The outputs, created once the first data set to write has been read and cut (so a file that
// cannot be read never replaces one), then written data set after data set.
class BatchOutputs {
public:
    // Values are written as the data set's texts give them, else with `decimals` decimals; with
    // `missing_allowed`, a cut may hold missing values, which only tables can.
    BatchOutputs(session::Front& front, Layout layout, std::uint32_t decimals, bool missing_allowed);

    // The data set's found rows, in list order (names made short where asked).
    void write(IdTable& ids, const DataSet& set);
    // The name map, then every output closed (and each target replaced).
    void close();

private:
    void create();
    // Throws where an ID to write is one its output could not be read back with.
    void refuse_names_none_can_read(const IdTable& ids) const;
    // Once a run: a square or lower output holds IDs longer than PHYLIP's programs read.
    void warn_of_long_names(const IdTable& ids);

    session::Front& front_;
    Layout layout_;
    std::uint32_t decimals_;
    bool missing_allowed_;
    std::optional<ShortNames> short_names_;
    std::optional<MatrixOutputs> outputs_;
    std::optional<io::OutputFile> map_;
    bool long_names_told_ = false;
};

}  // namespace orvane
