#include "run.hpp"

int main() { return session::dialogue_main(talmiro::run); }
