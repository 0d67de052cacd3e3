#include "Interrupt.h"

#include <atomic>

#include "Platform.h"

namespace {
std::atomic<int> Signal{0};
static_assert(std::atomic<int>::is_always_lock_free, "set from a signal handler");

void RaiseInterruptFlag(int Number) { Signal.store(Number); }
} // namespace

void InstallInterruptHandlers() { InstallInterruptHandler(RaiseInterruptFlag); }

int InterruptSignal() { return Signal.load(std::memory_order_relaxed); }

void TInterruptibleSink::Write(const char *Data, size_t Size) {
  if (InterruptSignal())
    throw EInterrupted();
  FInner.Write(Data, Size);
}
