#include <iostream>

#include "Cli.h"
#include "Interrupt.h"
#include "Platform.h"

int main(int argc, char **argv) {
  UseBinaryStandardStreams();
  InstallInterruptHandlers();
  return RunTessalineCli(ProgramArguments(argc, argv), std::cout, std::cerr);
}
