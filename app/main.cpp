#include "app/program.hpp"

int main() { quorvelv::end_program(quorvelv::start_program()); }
