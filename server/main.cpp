#include <iostream>

#include "server/command_line.hpp"

int main(int argc, char** argv) { return quorvelv::run_site_command(argc, argv, std::cout, std::cerr); }
