#include "talmiro/options.hpp"
#include "talmiro/program.hpp"

int main(int argc, char** argv) {
    talmiro::BatchMode batch;
    return session::program_main(argc, argv, talmiro::program(), batch);
}
