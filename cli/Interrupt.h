// Ctrl-C and SIGTERM for the command-line tool: they only raise a flag,
// which every conversion checks before each block it writes, so a page
// being written is abandoned (its temporary file removed) and pages that
// are finished stay.
#pragma once

#include <stdexcept>

#include "Tessaline.h"

/// Makes SIGINT and SIGTERM raise the flag instead of ending the process.
void InstallInterruptHandlers();
/// The signal that arrived, or 0.
int InterruptSignal();

/// Thrown by a conversion that noticed the flag.
class EInterrupted : public std::runtime_error {
public:
  EInterrupted() : std::runtime_error("interrupted") {}
};

/// Passes writes on to Inner until the flag is raised, then throws.
class TInterruptibleSink : public TOutputSink {
public:
  explicit TInterruptibleSink(TOutputSink &Inner) : FInner(Inner) {}
  void Write(const char *Data, size_t Size) override;

private:
  TOutputSink &FInner;
};
