#include "orvane/app/program.hpp"
#include "orvane/app/run.hpp"

int main(int argc, char** argv) {
    orvane::BatchMode batch;
    return session::program_main(argc, argv, orvane::program(), batch);
}
