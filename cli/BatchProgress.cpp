#include "BatchProgress.h"

#include <cstdio>

std::string FormatProgress(size_t Done, size_t Total, uint64_t Bytes, double Seconds,
                           bool Escapes) {
  constexpr int Width = 24;
  const int Filled = Total ? static_cast<int>(Done * Width / Total) : Width;
  char Line[160];
  std::snprintf(Line, sizeof Line, "\r[%s%s] %zu/%zu files, %.1f MB, %.0f MB/s%s",
                std::string(Filled, '#').c_str(), std::string(Width - Filled, '.').c_str(), Done,
                Total, Bytes / 1e6, Seconds > 0 ? Bytes / 1e6 / Seconds : 0.0,
                Escapes ? "\033[K" : "");
  std::string Text = Line;
  if (!Escapes && Text.size() < 80)
    Text.append(80 - Text.size(), ' ');
  return Text;
}

void TBatchOutput::Report(const std::string &Line) {
  std::lock_guard<std::mutex> Lock(FLock);
  if (FShowProgress)
    FErr << (FEscapes ? "\r\033[K" : "\r" + std::string(79, ' ') + "\r");
  FErr << Line << "\n";
  FErr.flush();
}

void TBatchOutput::Write(const std::string &Text) {
  std::lock_guard<std::mutex> Lock(FLock);
  FErr << Text;
  FErr.flush();
}

TProgressLine::TProgressLine(TBatchOutput &Out, const TBatchCounts &Counts, size_t Total,
                             bool Shown, bool Escapes)
    : FOut(Out), FCounts(Counts), FTotal(Total), FEscapes(Escapes),
      FStart(std::chrono::steady_clock::now()) {
  if (Shown)
    FDrawer = std::thread([this] { Draw(); });
}

void TProgressLine::Finish() {
  if (!FDrawer.joinable())
    return;
  FFinished = true;
  FSignal.notify_one();
  FDrawer.join();
  FOut.Write(Line() + "\n");
}

std::string TProgressLine::Line() const {
  const std::chrono::duration<double> Took = std::chrono::steady_clock::now() - FStart;
  return FormatProgress(FCounts.Done, FTotal, FCounts.Bytes, Took.count(), FEscapes);
}

void TProgressLine::Draw() {
  std::unique_lock<std::mutex> Lock(FLock);
  while (!FFinished) {
    FSignal.wait_for(Lock, std::chrono::milliseconds(100));
    FOut.Write(Line());
  }
}
