// Micro-benchmarks of the hot loops: token skipping, number parsing, record scanning, name
// matching. Run: build/release/bench/micro_bench
#include "io/line_reader.hpp"
#include "io/read_buffer.hpp"
#include "orvane/parse/token_reader.hpp"
#include "orvane/parse/token_skipping.hpp"
#include "talmiro/match/name_matcher.hpp"
#include "text/name_list.hpp"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

namespace {

// A temporary file holding `content`, removed afterwards.
class TempFile {
public:
    explicit TempFile(const std::string& content)
        : path_(std::filesystem::temp_directory_path() / ("micro-bench-" + std::to_string(::getpid()))) {
        std::ofstream(path_, std::ios::binary) << content;
    }
    ~TempFile() { std::filesystem::remove(path_); }
    std::string path() const { return path_.string(); }

private:
    std::filesystem::path path_;
};

std::string distance_row_text(std::size_t values) {
    std::mt19937 random(1);
    std::string text;
    char field[32];
    for (std::size_t index = 0; index < values; ++index) {
        std::snprintf(field, sizeof field, "%10.6f", (random() % 1000000) / 1e6);
        text += field;
        if (index % 8000 == 7999) {
            text += '\n';
        }
    }
    return text;
}

void skip_tokens_by_kernel(benchmark::State& state) {
    const auto kernel = static_cast<orvane::ScanKernel>(state.range(0));
    if (!orvane::scan_kernel_supported(kernel)) {
        state.SkipWithError("kernel not supported here");
        return;
    }
    const std::string text = distance_row_text(1 << 20);
    for (auto _ : state) {
        orvane::SkipProgress progress{0, UINT64_MAX, false};
        progress = orvane::skip_token_starts(text.data(), text.size(), progress, kernel);
        benchmark::DoNotOptimize(progress);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}
BENCHMARK(skip_tokens_by_kernel)->Arg(0)->Arg(1)->Arg(2);

void parse_distances(benchmark::State& state) {
    const std::size_t values = 1 << 20;
    const TempFile file(distance_row_text(values));
    std::vector<float> into(values);
    for (auto _ : state) {
        orvane::TokenReader reader(*io::InputFile::open(file.path()));
        benchmark::DoNotOptimize(reader.read_numbers(into.data(), values));
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * values));
}
BENCHMARK(parse_distances);

void scan_records(benchmark::State& state) {
    std::mt19937 random(2);
    std::string fasta;
    for (int record = 0; record < 20000; ++record) {
        fasta += ">AC" + std::to_string(record) + ".1 a description of the record\n";
        for (int line = 0; line < 15; ++line) {
            fasta += std::string(60, "ACGT"[random() % 4]) + '\n';
        }
    }
    const TempFile file(fasta);
    for (auto _ : state) {
        io::LineReader reader(*io::InputFile::open(file.path()));
        std::size_t headers = 0;
        reader.pass_until('>', [](std::string_view) {});  // the first record's '>'
        while (!reader.at_end_of_file()) {
            headers += reader.take_until('\n').size();
            reader.pass_until('>', [](std::string_view) {});
        }
        benchmark::DoNotOptimize(headers);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * fasta.size()));
}
BENCHMARK(scan_records);

void match_names(benchmark::State& state) {
    text::NameList names;
    for (std::int64_t index = 0; index < state.range(0); ++index) {
        names.add("AC" + std::to_string(1000000 + index * 7) + ".1");
    }
    names.assign_slots();
    const talmiro::NameMatcher matcher(names);
    std::vector<std::string> headers;
    for (int index = 0; index < 4096; ++index) {
        headers.push_back("AC" + std::to_string(1000000 + index * 13) + ".1 a description");
    }
    std::size_t next = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(matcher.first_match(headers[next++ & 4095]));
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()));
}
BENCHMARK(match_names)->Arg(10)->Arg(10000)->Arg(100000);

}  // namespace

BENCHMARK_MAIN();
