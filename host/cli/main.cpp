// crestmetrics: the command-line host.
#include "host/cli/cli.h"

#include <iostream>

int main(int argc, char** argv) { return cli::Main(argc, argv, std::cout, std::cerr); }
