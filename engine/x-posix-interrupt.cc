// Platform.h's interrupts for Linux and other POSIX systems: SIGINT and
// SIGTERM, and the temporary files a second one removes.
#include "Platform.h"

#include "GuardedTemporaries.h"

#include <atomic>
#include <csignal>
#include <unistd.h>

namespace {

void (*InterruptCallback)(int) = nullptr;
std::atomic<int> Interrupts{0};
static_assert(std::atomic<int>::is_always_lock_free, "counted in a signal handler");

extern "C" void OnInterruptSignal(int Number) {
  if (Interrupts.fetch_add(1) == 0) {
    InterruptCallback(Number);
    return;
  }
  // The second one: the program may be stuck, or the user will not wait
  // for the page being written to be abandoned. Its temporary file goes
  // (unlink is safe here), then the signal's own action ends the process
  // once this handler returns, as if none had been installed.
  RemoveGuardedTemporaries([](const char *Name) { ::unlink(Name); });
  ::signal(Number, SIG_DFL);
  ::raise(Number);
}

} // namespace

void InstallInterruptHandler(void (*OnInterrupt)(int Signal)) {
  InterruptCallback = OnInterrupt;
  struct sigaction Action = {};
  Action.sa_handler = OnInterruptSignal;
  // A SIGTERM that comes while the handler runs for a SIGINT waits for it,
  // and so is counted as the second.
  sigemptyset(&Action.sa_mask);
  sigaddset(&Action.sa_mask, SIGINT);
  sigaddset(&Action.sa_mask, SIGTERM);
  // No SA_RESTART: a read from a terminal or pipe returns, so the flag is
  // seen even while waiting for input.
  Action.sa_flags = 0;
  sigaction(SIGINT, &Action, nullptr);
  sigaction(SIGTERM, &Action, nullptr);
}
