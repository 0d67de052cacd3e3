#include <cstdio>
#include <cstring>

#include "Application.h"
#include "MainForm.h"
#include "TessalineVersion.h"

int main(int argc, char **argv) {
  // Answered before Qt starts, so they need no display.
  if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
    std::fputs("tessaline " TESSALINE_VERSION "\nPlatform: " TESSALINE_PLATFORM "\n", stdout);
    return 0;
  }
  if (argc == 2 && std::strcmp(argv[1], "--help") == 0) {
    std::fputs("Usage: tessaline [FILE]\n"
               "Opens the Tessaline window; with FILE, converts FILE to a page beside it\n"
               "(extension .html), asking before it replaces one, and ends.\n"
               "tessaline-cli converts from the command line without a window.\n",
               stdout);
    return 0;
  }
  TApplication Application(argc, argv);
  TForm1 Form1(Application.arguments().mid(1));
  Form1.show();
  return Application.exec();
}
