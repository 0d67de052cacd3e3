#include <iostream>

#include "Cli.h"
#include "Interrupt.h"

int main(int argc, char **argv) {
  InstallInterruptHandlers();
  return RunTessalineCli(std::vector<std::string>(argv + 1, argv + argc), std::cout, std::cerr);
}
