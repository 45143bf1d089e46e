// Entry point of quorvel-gateway.
#include "gateway/gatewayCli.h"

#include <iostream>

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  return quorvel::gateway::runCommandLine(args, std::cin, std::cout, std::cerr);
}
