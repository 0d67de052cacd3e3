#include <iostream>

#include "Cli.h"

int main(int argc, char **argv) {
  return RunTessalineCli(std::vector<std::string>(argv + 1, argv + argc), std::cout, std::cerr);
}
