// The output of a batch: report lines from any worker, and the progress
// line drawn over and over beneath them.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <ostream>
#include <string>
#include <thread>

/// The progress line: a bar of 24, the files done of Total, the megabytes
/// converted and the rate, starting with "\r" to draw over the line before.
/// With Escapes it ends in "\033[K", which wipes what a longer line left;
/// without, blanks pad it to 80 columns for the same.
std::string FormatProgress(size_t Done, size_t Total, uint64_t Bytes, double Seconds, bool Escapes);

/// Lines on Err from any thread, each wiping the progress line first when
/// one is drawn, so that a line never ends up behind the bar.
class TBatchOutput {
public:
  TBatchOutput(std::ostream &Err, bool ShowProgress, bool Escapes)
      : FErr(Err), FShowProgress(ShowProgress), FEscapes(Escapes) {}
  /// Writes Line and a line end.
  void Report(const std::string &Line);
  /// Writes Text as it is, between whole lines of other threads.
  void Write(const std::string &Text);

private:
  std::ostream &FErr;
  const bool FShowProgress;
  const bool FEscapes;
  std::mutex FLock;
};

/// What the workers have done so far, as the progress line shows it.
struct TBatchCounts {
  std::atomic<size_t> Done{0};
  std::atomic<uint64_t> Bytes{0};
};

/// The progress line on Out, when Shown: drawn by a thread of its own every
/// 100 ms and whenever FileDone is called, from construction until Finish,
/// which draws it a last time and ends it with a line end. Finish is called
/// once the workers have stopped (the destructor calls it too); when not
/// Shown, nothing is drawn.
class TProgressLine {
public:
  TProgressLine(TBatchOutput &Out, const TBatchCounts &Counts, size_t Total, bool Shown,
                bool Escapes);
  ~TProgressLine() { Finish(); }
  TProgressLine(const TProgressLine &) = delete;
  TProgressLine &operator=(const TProgressLine &) = delete;
  /// Safe from any thread.
  void FileDone() { FSignal.notify_one(); }
  void Finish();

private:
  std::string Line() const;
  void Draw();

  TBatchOutput &FOut;
  const TBatchCounts &FCounts;
  const size_t FTotal;
  const bool FEscapes;
  const std::chrono::steady_clock::time_point FStart;
  std::atomic<bool> FFinished{false};
  std::mutex FLock;
  std::condition_variable FSignal;
  std::thread FDrawer;
};
