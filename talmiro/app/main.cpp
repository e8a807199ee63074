#include "talmiro/app/program.hpp"
#include "talmiro/app/run.hpp"

int main(int argc, char** argv) {
    talmiro::BatchMode batch;
    return session::program_main(argc, argv, talmiro::program(), batch);
}
