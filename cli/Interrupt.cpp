#include "Interrupt.h"

#include <atomic>
#include <csignal>

namespace {
std::atomic<int> Signal{0};
static_assert(std::atomic<int>::is_always_lock_free, "set from a signal handler");

extern "C" void RaiseInterruptFlag(int Number) { Signal.store(Number); }
} // namespace

void InstallInterruptHandlers() {
  struct sigaction Action = {};
  Action.sa_handler = RaiseInterruptFlag;
  sigemptyset(&Action.sa_mask);
  // No SA_RESTART: a read from a terminal or pipe returns, so the flag is
  // seen even while waiting for input. SA_RESETHAND: should the program be
  // stuck (a pipe nobody reads), a second signal ends it the usual way.
  Action.sa_flags = SA_RESETHAND;
  sigaction(SIGINT, &Action, nullptr);
  sigaction(SIGTERM, &Action, nullptr);
}

int InterruptSignal() { return Signal.load(std::memory_order_relaxed); }

void TInterruptibleSink::Write(const char *Data, size_t Size) {
  if (InterruptSignal())
    throw EInterrupted();
  FInner.Write(Data, Size);
}
