// Platform.h's interrupts for Linux and other POSIX systems: SIGINT and
// SIGTERM, and the temporary files a second one removes.
#include "Platform.h"

#include <atomic>
#include <climits>
#include <csignal>
#include <cstring>
#include <unistd.h>

namespace {

// Temporary files a second interrupt removes. The handler may run while
// a worker claims or frees a place, so a name is copied in before the
// place shows as ready, and is never read from a string that may move.
constexpr int GuardedTemporaries = 256;
constexpr size_t LongestGuardedName = PATH_MAX;
// Apart from the names, so that starting the program touches none of
// their pages.
std::atomic<bool> TemporaryTaken[GuardedTemporaries];
std::atomic<bool> TemporaryReady[GuardedTemporaries];
char TemporaryNames[GuardedTemporaries][LongestGuardedName];

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
  for (int K = 0; K < GuardedTemporaries; ++K)
    if (TemporaryReady[K].load())
      ::unlink(TemporaryNames[K]);
  ::signal(Number, SIG_DFL);
  ::raise(Number);
}

} // namespace

int GuardTemporaryFile(const std::string &Path) {
  if (Path.size() >= LongestGuardedName)
    return -1;
  for (int K = 0; K < GuardedTemporaries; ++K) {
    if (TemporaryTaken[K].exchange(true))
      continue;
    std::memcpy(TemporaryNames[K], Path.c_str(), Path.size() + 1);
    TemporaryReady[K] = true;
    return K;
  }
  return -1;
}

void ReleaseTemporaryFile(int Ticket) {
  if (Ticket < 0)
    return;
  TemporaryReady[Ticket] = false;
  TemporaryTaken[Ticket] = false;
}

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
