#include "run.hpp"

#include <iostream>

int main() {
    // The console streams carry only prompts, counts and the meter; stdio sync buys nothing.
    std::ios::sync_with_stdio(false);
    std::cin.tie(&std::cout);
    talmiro::run(std::cin, std::cout);
    return 0;
}
