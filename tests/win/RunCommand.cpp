// Runs a command line as Explorer runs a verb's command: the whole line
// handed to CreateProcessW, which finds the program as the line's first
// (possibly quoted) word. Waits for the program and exits with its status.
// Usage: run_command "COMMAND LINE"
#include <windows.h>

#include <cstdio>
#include <string>

int wmain(int argc, wchar_t **argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: run_command \"COMMAND LINE\"\n");
    return 2;
  }
  std::wstring Line = argv[1];
  STARTUPINFOW Startup{};
  Startup.cb = sizeof Startup;
  PROCESS_INFORMATION Process{};
  if (!CreateProcessW(nullptr, Line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &Startup,
                      &Process)) {
    std::fprintf(stderr, "run_command: CreateProcess failed (%lu)\n", GetLastError());
    return 2;
  }
  WaitForSingleObject(Process.hProcess, INFINITE);
  DWORD Status = 1;
  GetExitCodeProcess(Process.hProcess, &Status);
  CloseHandle(Process.hThread);
  CloseHandle(Process.hProcess);
  return int(Status);
}
