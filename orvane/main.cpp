#include "orvane/options.hpp"
#include "orvane/program.hpp"

int main(int argc, char** argv) {
    orvane::BatchMode batch;
    return session::program_main(argc, argv, orvane::program(), batch);
}
