// Writes large, realistic benchmark inputs quickly and deterministically.
//   generate matrix N LIST_SIZE DIR   -> DIR/matrix.txt (N x N) and DIR/ids.txt (LIST_SIZE IDs)
#include <charconv>
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
    std::set<std::size_t> chosen;
    std::uniform_int_distribution<std::size_t> pick(0, order - 1);
    while (chosen.size() < std::min(list_size, order)) {
        const std::size_t row = pick(random);
        if (chosen.insert(row).second) {
            std::fprintf(ids, "%s\n", accession(row).c_str());
        }
    }
    std::fclose(ids);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string what = argc > 1 ? argv[1] : "";
    if (what == "matrix" && argc == 5) {
        return generate_matrix(std::strtoull(argv[2], nullptr, 10), std::strtoull(argv[3], nullptr, 10), argv[4]);
    }
    std::fprintf(stderr, "usage: generate matrix N LIST_SIZE DIR\n");
    return 2;
}
