#include "talmiro/program.hpp"
#include "talmiro/run.hpp"

int main(int argc, char** argv) {
    talmiro::BatchMode batch;
    return session::program_main(argc, argv, talmiro::program(), batch);
}
