#include "run.hpp"

int main() { return session::dialogue_main(orvane::run); }
