#include "GuardedTemporaries.h"

#include <atomic>
#include <cstring>

#include "Platform.h"

namespace {

// The handler may run while a worker claims or frees a place, so a name is
// copied in before the place shows as ready, and is never read from a
// string that may move.
constexpr int GuardedTemporaries = 256;
constexpr size_t LongestGuardedName = 4096;
// Apart from the names, so that starting the program touches none of
// their pages.
std::atomic<bool> TemporaryTaken[GuardedTemporaries];
std::atomic<bool> TemporaryReady[GuardedTemporaries];
char TemporaryNames[GuardedTemporaries][LongestGuardedName];
static_assert(std::atomic<bool>::is_always_lock_free, "read in a signal handler");

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

void RemoveGuardedTemporaries(void (*Remove)(const char *Name)) {
  for (int K = 0; K < GuardedTemporaries; ++K)
    if (TemporaryReady[K].load())
      Remove(TemporaryNames[K]);
}
