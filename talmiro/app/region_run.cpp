#include "talmiro/app/region_run.hpp"

#include "front/index_mode.hpp"
#include "io/line_reader.hpp"
#include "talmiro/app/files.hpp"
#include "talmiro/app/meter_labels.hpp"
#include "talmiro/regions/region_parsing.hpp"
#include "talmiro/regions/region_reading.hpp"
#include "text/quoting.hpp"

#include <algorithm>

namespace talmiro {

namespace {

using session::Abort;
using session::Failure;
using session::Front;

constexpr session::CountKind regions_count{"regions", {}, {}};
constexpr session::CountKind records_scanned{"records scanned", {}, {}};
constexpr session::CountKind records_in_index{"records in the file (from its index)", {}, {}};
constexpr session::CountKind records_located{"records read through an index", {}, {}};
constexpr session::CountKind records_written{"written", {}, {}};

// A long run of regions that fail says little more after its first ones than their number.
constexpr std::size_t most_told = 20;

std::string origin_of(const Region& region, const RegionChoice& choice) {
    switch (region.source) {
    case Region::Source::command_line:
        return "--region " + text::quoted(choice.given.at(region.line - 1));
    case Region::Source::region_list:
        return text::file_label(choice.regions_path, false) + " line " + std::to_string(region.line);
    case Region::Source::bed:
        break;
    }
    return text::file_label(choice.bed_path, false) + " line " + std::to_string(region.line);
}

// Regions of one file: `parse` turns each line into a region, an error or nothing to take.
template <typename Parse>
void read_region_file(Front& front, const session::FileRole& role, Region::Source source, const std::string& path,
                      Parse&& parse, std::vector<Region>& regions) {
    io::LineReader lines(front.open_input(role));
    lines.skip_byte_order_mark();
    for (std::uint64_t number = 1; !lines.at_end_of_file(); ++number) {
        const std::string_view line = lines.take_until('\n');
        auto parsed = parse(line);
        if (const RegionError* const bad = std::get_if<RegionError>(&parsed)) {
            throw Abort{Failure::unreadable_input,
                        text::file_label(path, false) + " line " + std::to_string(number) + ": " + bad->why};
        }
        if (Region* const region = std::get_if<Region>(&parsed)) {
            region->source = source;
            region->line = number;
            regions.push_back(std::move(*region));
        }
    }
    session::check_read_whole(front, lines.input());
}

// The command line's regions, then those of --regions, then those of --bed, each in its order.
std::vector<Region> gather_regions(Front& front, const RegionChoice& choice) {
    std::vector<Region> regions;
    for (std::size_t nth = 0; nth < choice.given.size(); ++nth) {
        regions.push_back(std::get<Region>(parse_region(choice.given[nth], choice.reverse)));
        regions.back().line = nth + 1;
    }
    if (!choice.regions_path.empty()) {
        read_region_file(
            front, regions_file, Region::Source::region_list, choice.regions_path,
            [&](std::string_view line) { return parse_region_line(line, choice.reverse); }, regions);
    }
    if (!choice.bed_path.empty()) {
        read_region_file(
            front, bed_file, Region::Source::bed, choice.bed_path,
            [&](std::string_view line) { return parse_bed_line(line, choice.bed); }, regions);
    }
    return regions;
}

// The regions cut through the input's index, where it has one the run can trust; the meter then
// shows the reading done at once, as nothing is drawn until every region is cut (an index found
// wrong halfway leaves nothing to undo but the outputs kept).
std::optional<CutRegions> cut_through_its_index(Front& front, const io::InputFile& file, const RegionJob& job,
                                                std::string& not_used) {
    std::optional<CutRegions> cut =
        cut_through_index(session::index_reporting(front), file, job, io::Progress(), not_used);
    if (cut) {
        const io::Progress progress = front.meter().progress(reading_label);
        progress.begin();
        progress.step(100);
        front.meter().end_line();
        front.show_count(records_in_index, static_cast<std::int64_t>(cut->records));
        front.show_count(records_located, static_cast<std::int64_t>(cut->located));
    }
    return cut;
}

// The regions cut in one pass over the whole input.
CutRegions cut_from_whole(Front& front, io::InputFile file, const RegionJob& job) {
    io::ReadBuffer buffer(std::move(file));
    session::refuse_foreign_content(buffer, "FASTA or FASTQ");
    const std::unique_ptr<RecordScanner> records = scan_records(std::move(buffer), Checks::strict);
    CutRegions cut = cut_from_scan(*records, job, front.meter().progress(reading_label));
    front.meter().end_line();
    session::check_read_whole(front, records->input());
    if (records->malformed()) {
        front.input_cut_short(*records->malformed());
    }
    front.show_count(records_scanned, static_cast<std::int64_t>(cut.records));
    return cut;
}

// A region whose record the input lacks fails the run, as a listed name does, unless
// --allow-missing; a usage error where the command line gave it.
void check_found(Front& front, const std::vector<Region>& regions, const CutRegions& cut, const RegionChoice& choice,
                 const std::string& input_name) {
    std::vector<std::size_t> missing;
    for (std::size_t nth = 0; nth < regions.size(); ++nth) {
        if (!cut.record_bases[nth]) {
            missing.push_back(nth);
        }
    }
    front.show_count(session::found_count, static_cast<std::int64_t>(regions.size() - missing.size()));
    front.show_count(session::missing_count, static_cast<std::int64_t>(missing.size()));
    if (missing.empty()) {
        return;
    }
    const auto told = [&](std::size_t nth) {
        return origin_of(regions[nth], choice) + ": no record " + text::quoted(regions[nth].name) + " in " +
               text::file_label(input_name, false);
    };
    const auto more = [](std::size_t count) {
        return std::to_string(count) +
               (count == 1 ? " more region whose record is not there" : " more regions whose records are not there");
    };
    if (choice.allow_missing) {
        for (std::size_t at = 0; at < std::min(missing.size(), most_told); ++at) {
            front.warn(told(missing[at]));
        }
        if (missing.size() > most_told) {
            front.warn("and " + more(missing.size() - most_told));
        }
        return;
    }
    const auto on_command_line = std::find_if(missing.begin(), missing.end(), [&](std::size_t nth) {
        return regions[nth].source == Region::Source::command_line;
    });
    const std::size_t first = on_command_line != missing.end() ? *on_command_line : missing.front();
    throw Abort{Failure::unreadable_input,
                told(first) + (missing.size() > 1 ? " (and " + more(missing.size() - 1) + ")" : ""),
                on_command_line != missing.end()};
}

// Where a region reaches past its record of `length` bases: why, and what is written of it
// (both empty where it lies within the record).
struct PastTheEnd {
    std::string why;
    std::string written;
};
PastTheEnd past_the_end(const Region& region, std::uint64_t length) {
    const std::string record =
        text::quoted(region.name) + " (" + std::to_string(length) + (length == 1 ? " base)" : " bases)");
    if (region.begin >= length && !(region.begin == 0 && region.end == Region::to_end)) {
        return {"it starts past the end of " + record, "nothing of it is written"};
    }
    if (region.end != Region::to_end && region.end > length) {
        return {"it reaches past the end of " + record,
                "cut to " + std::to_string(region.begin + 1) + "-" + std::to_string(length)};
    }
    return {};
}

// A region past its record's end is cut to what the record holds, as samtools does, and said;
// --strict-regions makes it the run's failure.
void check_ends(Front& front, const std::vector<Region>& regions, const CutRegions& cut, const RegionChoice& choice) {
    std::size_t told = 0;
    for (std::size_t nth = 0; nth < regions.size(); ++nth) {
        if (!cut.record_bases[nth]) {
            continue;
        }
        const PastTheEnd past = past_the_end(regions[nth], *cut.record_bases[nth]);
        if (past.why.empty()) {
            continue;
        }
        const std::string detail = origin_of(regions[nth], choice) + ": " + past.why;
        if (choice.strict) {
            throw Abort{Failure::unreadable_input, detail, regions[nth].source == Region::Source::command_line};
        }
        if (++told <= most_told) {
            front.warn(detail + ": " + past.written);
        }
    }
    if (told > most_told) {
        front.warn("and " + std::to_string(told - most_told) + " more regions cut short");
    }
}

// Each output written as its region is cut (in the given order, through an index), into a
// file that replaces its target only once the run has passed every check: nothing is held.
class DirectRegions final : public RegionOutputs {
public:
    explicit DirectRegions(io::OutputFile& output) : output_(output) {}
    void keep(std::size_t, std::string_view text) override {
        output_.write(text);
        ++written_;
    }
    std::uint64_t written() const { return written_; }

private:
    io::OutputFile& output_;
    std::uint64_t written_ = 0;
};

void close_output(Front& front, io::OutputFile& output, std::uint64_t written) {
    session::close_outputs({&output});
    front.show_count(records_written, static_cast<std::int64_t>(written));
}

void write_spooled(Front& front, SpooledRegions& spooled, const RegionChoice& choice) {
    io::OutputFile output = front.create_output(output_file);
    session::begin_writing({&output});
    const std::uint64_t written =
        spooled.write(choice.order == Order::file, [&output](std::string_view piece) { output.write(piece); });
    close_output(front, output, written);
}

}  // namespace

session::Outcome run_regions(Front& front, const RegionChoice& choice, const std::string& spool_folder,
                             std::size_t spool_budget) {
    const std::vector<Region> regions = gather_regions(front, choice);
    front.show_count(regions_count, static_cast<std::int64_t>(regions.size()));
    io::InputFile file = front.open_input(fasta_file);
    const std::string input_name = file.name();
    const auto checked = [&](const CutRegions& cut) {
        check_found(front, regions, cut, choice, input_name);
        check_ends(front, regions, cut, choice);
    };
    SpooledRegions spooled(regions.size(), spool_folder, spool_budget);
    std::string not_used = "--no-index";
    if (choice.use_index && choice.order == Order::list && choice.output_replaced) {
        io::OutputFile output = front.create_output(output_file);
        DirectRegions direct(output);
        if (const std::optional<CutRegions> cut =
                cut_through_its_index(front, file, {regions, choice.line_width, direct, true}, not_used)) {
            checked(*cut);
            close_output(front, output, direct.written());
            return session::Outcome::done;
        }
    } else if (choice.use_index) {
        if (const std::optional<CutRegions> cut =
                cut_through_its_index(front, file, {regions, choice.line_width, spooled, false}, not_used)) {
            checked(*cut);
            write_spooled(front, spooled, choice);
            return session::Outcome::done;
        }
    }
    front.note("index not used for " + text::file_label(input_name, false) + ": " + not_used);
    checked(cut_from_whole(front, std::move(file), {regions, choice.line_width, spooled, false}));
    write_spooled(front, spooled, choice);
    return session::Outcome::done;
}

}  // namespace talmiro
