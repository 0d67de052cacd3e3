// What a scan reports to and takes orders from.
#pragma once

#include <cstdint>

/// What a scan reports progress to and takes Stop from. Both calls come
/// from the thread that runs the scan, never from a helper thread.
class TScanControl {
public:
  /// Whether ReportProgress is to be called at all.
  virtual bool WantsProgress() const = 0;
  /// A percentage due after an identifier (strictly growing within a
  /// scan). It may call Stop.
  virtual void ReportProgress(int32_t Percent) = 0;

  /// Asks the scan to stop before its next token.
  void Stop() { FStopped = true; }
  bool Stopped() const { return FStopped; }
  /// Clears a Stop, as before each run.
  void Restart() { FStopped = false; }

protected:
  ~TScanControl() = default;

private:
  bool FStopped = false;
};
