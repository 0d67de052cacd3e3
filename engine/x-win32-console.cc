// Platform.h's interrupts and consoles for Windows: Ctrl-C, Ctrl-Break and
// closing the console, the temporary files a second one removes, and the
// console's modes.
#include "Platform.h"

#include "GuardedTemporaries.h"

#include <atomic>
#include <cstring>
#include <fcntl.h>
#include <io.h>
#include <windows.h>

namespace {

void (*InterruptCallback)(int) = nullptr;
std::atomic<bool> Interrupted{false};
HANDLE MainThread = nullptr;

BOOL WINAPI OnConsoleControl(DWORD Event) {
  // A second Ctrl-C ends the process the usual way, should it be stuck,
  // leaving no temporary page: each is marked for deletion, which the
  // system carries out as the process's handles close.
  if (Interrupted.exchange(true)) {
    RemoveGuardedTemporaries([](const char *Name) { RemoveFile(Name); });
    return FALSE;
  }
  const bool AskedToEnd = Event != CTRL_C_EVENT && Event != CTRL_BREAK_EVENT;
  InterruptCallback(AskedToEnd ? 15 : 2);
  // The handler runs in a thread of its own: a main thread waiting for
  // input from a pipe would not notice the flag until the writer is done.
  if (MainThread)
    CancelSynchronousIo(MainThread);
  if (AskedToEnd) {
    // Closing the console ends the process as soon as this returns: give
    // the page being written the time to be abandoned, as the system
    // allows some seconds before it ends the process anyway.
    Sleep(4000);
  }
  return TRUE;
}

} // namespace

void InstallInterruptHandler(void (*OnInterrupt)(int Signal)) {
  InterruptCallback = OnInterrupt;
  DuplicateHandle(GetCurrentProcess(), GetCurrentThread(), GetCurrentProcess(), &MainThread, 0,
                  FALSE, DUPLICATE_SAME_ACCESS);
  SetConsoleCtrlHandler(OnConsoleControl, TRUE);
}

bool IsTerminal(int Descriptor) {
  DWORD Mode;
  return GetConsoleMode(reinterpret_cast<HANDLE>(HandleOfDescriptor(Descriptor)), &Mode) != 0;
}

bool EnableTerminalEscapes(int Descriptor) {
  const HANDLE Console = reinterpret_cast<HANDLE>(HandleOfDescriptor(Descriptor));
  DWORD Mode;
  if (!GetConsoleMode(Console, &Mode))
    return false;
  return (Mode & ENABLE_VIRTUAL_TERMINAL_PROCESSING) ||
         SetConsoleMode(Console, Mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING);
}

void UseBinaryStandardStreams() {
  // In text mode every LF written would become CR LF and a Ctrl-Z read
  // would end the input.
  _setmode(0, _O_BINARY);
  _setmode(1, _O_BINARY);
  _setmode(2, _O_BINARY);
}
