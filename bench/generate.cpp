// Writes large, realistic benchmark inputs quickly and deterministically.
//   generate matrix N LIST_SIZE DIR      -> DIR/matrix.txt (N x N) and DIR/ids.txt (LIST_SIZE IDs)
//   generate fasta RECORDS LIST_SIZE DIR -> DIR/sequences.fa (wrapped at 60, headers with a
//                                           description) and DIR/names.txt (LIST_SIZE of its IDs)
//   generate short_fasta RECORDS LIST_SIZE DIR -> the same with short records (60 to 110 bases on
//                                           one line, headers without a description)
//   generate fastq READS LIST_SIZE DIR   -> DIR/R1.fq and DIR/R2.fq (paired 100 bp reads, Illumina
//                                           headers) and DIR/names.txt (LIST_SIZE read names)
//   generate pairs GENOMES LIST_SIZE DIR -> DIR/pairs.tsv (every ordered pair, as mash dist writes
//                                           them) and DIR/ids.txt (LIST_SIZE genome names)
//   generate datasets SETS ORDER LIST_SIZE DIR -> DIR/bootstrap.dist (SETS square matrices one after
//                                           another, as dnadist writes replicates) and DIR/ids.txt
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <set>
#include <string>
#include <vector>

namespace {

std::string accession(std::size_t index) {
    char text[32];
    std::snprintf(text, sizeof text, "AC%06zu.1", index);
    return text;
}

std::vector<std::size_t> pick_distinct(std::mt19937_64& random, std::size_t count, std::size_t limit);

// Distances from points on a line plus noise: symmetric, between 0 and 1, zero diagonal.
int generate_matrix(std::size_t order, std::size_t list_size, const std::string& dir) {
    std::mt19937_64 random(order);
    std::uniform_real_distribution<double> place(0.0, 0.9);
    std::uniform_real_distribution<double> noise(0.001, 0.09);
    std::vector<double> position(order);
    for (double& p : position) {
        p = place(random);
    }
    std::FILE* out = std::fopen((dir + "/matrix.txt").c_str(), "w");
    if (out == nullptr) {
        std::perror("matrix.txt");
        return 1;
    }
    std::vector<char> line;
    std::fprintf(out, "%5zu\n", order);
    for (std::size_t row = 0; row < order; ++row) {
        line.clear();
        const std::string name = accession(row);
        line.insert(line.end(), name.begin(), name.end());
        line.resize(std::max<std::size_t>(line.size(), 10), ' ');
        for (std::size_t column = 0; column < order; ++column) {
            const double distance =
                row == column ? 0.0 : std::abs(position[row] - position[column]) + noise(random) / 10;
            char field[32];
            const auto result = std::to_chars(field, field + sizeof field, distance, std::chars_format::fixed, 6);
            const std::size_t length = static_cast<std::size_t>(result.ptr - field);
            line.insert(line.end(), 10 - length, ' ');
            line.insert(line.end(), field, result.ptr);
        }
        line.push_back('\n');
        std::fwrite(line.data(), 1, line.size(), out);
    }
    std::fclose(out);

    std::FILE* ids = std::fopen((dir + "/ids.txt").c_str(), "w");
    for (const std::size_t row : pick_distinct(random, list_size, order)) {
        std::fprintf(ids, "%s\n", accession(row).c_str());
    }
    std::fclose(ids);
    return 0;
}

// Picks `count` distinct indexes below `limit`, in random order.
std::vector<std::size_t> pick_distinct(std::mt19937_64& random, std::size_t count, std::size_t limit) {
    std::set<std::size_t> chosen;
    std::vector<std::size_t> order;
    std::uniform_int_distribution<std::size_t> pick(0, limit - 1);
    while (order.size() < std::min(count, limit)) {
        const std::size_t index = pick(random);
        if (chosen.insert(index).second) {
            order.push_back(index);
        }
    }
    return order;
}

int generate_fasta(std::size_t records, std::size_t list_size, const std::string& dir, bool short_records) {
    static const char* const descriptions[] = {
        "Escherichia coli str. K-12 substr. MG1655 16S ribosomal RNA, partial sequence",
        "Homo sapiens mitochondrion cytochrome b (CYTB) gene, partial cds",
        "Influenza A virus segment 4 hemagglutinin (HA) gene, complete cds",
        "Severe acute respiratory syndrome coronavirus 2 isolate ORF1ab polyprotein gene",
    };
    std::mt19937_64 random(records);
    std::uniform_int_distribution<std::size_t> length(short_records ? 60 : 600, short_records ? 110 : 1200);
    std::FILE* out = std::fopen((dir + "/sequences.fa").c_str(), "w");
    if (out == nullptr) {
        std::perror("sequences.fa");
        return 1;
    }
    std::string record;
    for (std::size_t index = 0; index < records; ++index) {
        record.assign(">").append(accession(index));
        if (!short_records) {
            record.append(" ").append(descriptions[index % 4]);
        }
        record.append("\n");
        const std::size_t bases = length(random);
        for (std::size_t base = 0; base < bases; ++base) {
            record += "ACGT"[random() & 3];
            if ((!short_records && base % 60 == 59) || base + 1 == bases) {
                record += '\n';
            }
        }
        std::fwrite(record.data(), 1, record.size(), out);
    }
    std::fclose(out);
    std::FILE* names = std::fopen((dir + "/names.txt").c_str(), "w");
    for (const std::size_t index : pick_distinct(random, list_size, records)) {
        std::fprintf(names, "%s\n", accession(index).c_str());
    }
    std::fclose(names);
    return 0;
}

// A reference as assemblies are laid out: RECORDS contigs of MIN to MAX bases, each in lines
// of 60, named ctg000000 on; 32 bases from each random draw, so that gigabytes come quickly.
int generate_contigs(std::size_t records, std::size_t min_bases, std::size_t max_bases, const std::string& dir) {
    std::mt19937_64 random(records * 7919 + max_bases);
    std::uniform_int_distribution<std::size_t> length(min_bases, max_bases);
    std::FILE* out = std::fopen((dir + "/sequences.fa").c_str(), "w");
    if (out == nullptr) {
        std::perror("sequences.fa");
        return 1;
    }
    std::string line;
    for (std::size_t index = 0; index < records; ++index) {
        char header[64];
        std::snprintf(header, sizeof header, ">ctg%06zu assembled contig %zu\n", index, index);
        line += header;
        const std::size_t bases = length(random);
        std::uint64_t draw = 0;
        for (std::size_t base = 0; base < bases; ++base) {
            if (base % 32 == 0) {
                draw = random();
            }
            line += "ACGT"[draw & 3];
            draw >>= 2;
            if (base % 60 == 59 || base + 1 == bases) {
                line += '\n';
                if (line.size() > (1 << 16)) {
                    std::fwrite(line.data(), 1, line.size(), out);
                    line.clear();
                }
            }
        }
    }
    std::fwrite(line.data(), 1, line.size(), out);
    return std::fclose(out) == 0 ? 0 : 1;
}

std::string read_name(std::size_t index) {
    char text[64];
    std::snprintf(text, sizeof text, "SIM:1:FCX:1:%zu:%zu:%zu", 1101 + index / 1000000, index % 1000000 / 100 * 7,
                  index % 100 * 13);
    return text;
}

int generate_fastq(std::size_t reads, std::size_t list_size, const std::string& dir) {
    std::mt19937_64 random(reads);
    for (const int mate : {1, 2}) {
        const std::string path = dir + "/R" + std::to_string(mate) + ".fq";
        std::FILE* out = std::fopen(path.c_str(), "w");
        if (out == nullptr) {
            std::perror(path.c_str());
            return 1;
        }
        std::string record;
        for (std::size_t index = 0; index < reads; ++index) {
            record.assign("@").append(read_name(index)).append(mate == 1 ? " 1:N:0:ATCACG\n" : " 2:N:0:ATCACG\n");
            for (int base = 0; base < 100; ++base) {
                record += "ACGT"[random() & 3];
            }
            record += "\n+\n";
            for (int base = 0; base < 100; ++base) {
                record += static_cast<char>('5' + (random() % 10));
            }
            record += '\n';
            std::fwrite(record.data(), 1, record.size(), out);
        }
        std::fclose(out);
    }
    std::FILE* names = std::fopen((dir + "/names.txt").c_str(), "w");
    for (const std::size_t index : pick_distinct(random, list_size, reads)) {
        std::fprintf(names, "%s\n", read_name(index).c_str());
    }
    std::fclose(names);
    return 0;
}

}  // namespace

// The distances of points on a line plus noise, for `count` items: symmetric, zero diagonal.
class LineDistances {
public:
    LineDistances(std::size_t count, std::uint64_t seed) : random_(seed), position_(count) {
        std::uniform_real_distribution<double> place(0.0, 0.9);
        for (double& p : position_) {
            p = place(random_);
        }
    }
    double between(std::size_t a, std::size_t b) {
        std::uniform_real_distribution<double> noise(0.0001, 0.009);
        return a == b ? 0.0 : std::abs(position_[a] - position_[b]) + noise(random_);
    }

private:
    std::mt19937_64 random_;
    std::vector<double> position_;
};

bool write_list(const std::string& path, const std::vector<std::string>& names, std::size_t count,
                std::mt19937_64& random) {
    std::FILE* out = std::fopen(path.c_str(), "w");
    if (out == nullptr) {
        std::perror(path.c_str());
        return false;
    }
    for (const std::size_t index : pick_distinct(random, count, names.size())) {
        std::fprintf(out, "%s\n", names[index].c_str());
    }
    return std::fclose(out) == 0;
}

int generate_pairs(std::size_t genomes, std::size_t list_size, const std::string& dir) {
    std::vector<std::string> names;
    for (std::size_t index = 0; index < genomes; ++index) {
        names.push_back("genomes/GCF_" + accession(index).substr(2) + ".fna");
    }
    LineDistances distances(genomes, genomes);
    std::FILE* out = std::fopen((dir + "/pairs.tsv").c_str(), "w");
    if (out == nullptr) {
        std::perror("pairs.tsv");
        return 1;
    }
    // As mash dist writes a sketch against itself: each query in turn, against every reference.
    for (std::size_t query = 0; query < genomes; ++query) {
        for (std::size_t reference = 0; reference < genomes; ++reference) {
            const double distance = distances.between(reference, query);
            std::fprintf(out, "%s\t%s\t%.7g\t%s\t%d/1000\n", names[reference].c_str(), names[query].c_str(), distance,
                         distance == 0 ? "0" : "1.2e-100", static_cast<int>(1000 * (1 - distance)));
        }
    }
    std::fclose(out);
    std::mt19937_64 random(genomes + 1);
    return write_list(dir + "/ids.txt", names, list_size, random) ? 0 : 1;
}

int generate_data_sets(std::size_t sets, std::size_t order, std::size_t list_size, const std::string& dir) {
    std::vector<std::string> names;
    for (std::size_t index = 0; index < order; ++index) {
        names.push_back(accession(index));
    }
    std::FILE* out = std::fopen((dir + "/bootstrap.dist").c_str(), "w");
    if (out == nullptr) {
        std::perror("bootstrap.dist");
        return 1;
    }
    for (std::size_t set = 0; set < sets; ++set) {
        LineDistances distances(order, set + 1);
        std::vector<double> values(order * order);
        for (std::size_t row = 0; row < order; ++row) {
            for (std::size_t column = 0; column < row; ++column) {
                values[row * order + column] = values[column * order + row] = distances.between(row, column);
            }
        }
        std::fprintf(out, "%5zu\n", order);
        for (std::size_t row = 0; row < order; ++row) {
            std::fprintf(out, "%-10s", names[row].c_str());
            for (std::size_t column = 0; column < order; ++column) {
                std::fprintf(out, " %.6f", values[row * order + column]);
            }
            std::fputc('\n', out);
        }
    }
    std::fclose(out);
    std::mt19937_64 random(order);
    return write_list(dir + "/ids.txt", names, list_size, random) ? 0 : 1;
}

int main(int argc, char** argv) {
    const std::string what = argc > 1 ? argv[1] : "";
    if (what == "matrix" && argc == 5) {
        return generate_matrix(std::strtoull(argv[2], nullptr, 10), std::strtoull(argv[3], nullptr, 10), argv[4]);
    }
    if (what == "fasta" && argc == 5) {
        return generate_fasta(std::strtoull(argv[2], nullptr, 10), std::strtoull(argv[3], nullptr, 10), argv[4], false);
    }
    if (what == "short_fasta" && argc == 5) {
        return generate_fasta(std::strtoull(argv[2], nullptr, 10), std::strtoull(argv[3], nullptr, 10), argv[4], true);
    }
    if (what == "fastq" && argc == 5) {
        return generate_fastq(std::strtoull(argv[2], nullptr, 10), std::strtoull(argv[3], nullptr, 10), argv[4]);
    }
    if (what == "contigs" && argc == 6) {
        return generate_contigs(std::strtoull(argv[2], nullptr, 10), std::strtoull(argv[3], nullptr, 10),
                                std::strtoull(argv[4], nullptr, 10), argv[5]);
    }
    if (what == "pairs" && argc == 5) {
        return generate_pairs(std::strtoull(argv[2], nullptr, 10), std::strtoull(argv[3], nullptr, 10), argv[4]);
    }
    if (what == "datasets" && argc == 6) {
        return generate_data_sets(std::strtoull(argv[2], nullptr, 10), std::strtoull(argv[3], nullptr, 10),
                                  std::strtoull(argv[4], nullptr, 10), argv[5]);
    }
    std::fprintf(stderr,
                 "usage: generate matrix N LIST_SIZE DIR | generate fasta RECORDS LIST_SIZE DIR | "
                 "generate short_fasta RECORDS LIST_SIZE DIR | generate fastq READS LIST_SIZE DIR | "
                 "generate pairs GENOMES LIST_SIZE DIR | generate contigs RECORDS MIN MAX DIR | "
                 "generate datasets SETS ORDER LIST_SIZE DIR\n");
    return 2;
}
