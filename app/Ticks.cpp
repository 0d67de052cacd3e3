#include "Ticks.h"

#include <chrono>

std::function<int64_t()> &TickSource() {
  static std::function<int64_t()> Source = [] {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
  };
  return Source;
}

int64_t TickCount() { return TickSource()(); }
