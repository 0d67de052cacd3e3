// In-process throughput of the converter: Convert of one file into the
// page buffer, repeated, reporting the median in MB/s (10^6 bytes of input
// per second).
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "FileIO.h"
#include "Tessaline.h"

int main(int argc, char **argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: engine_bench FILE [RUNS]\n");
    return 2;
  }
  const int Runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 9;
  TTessaline Converter;
  Converter.LoadFromFile(argv[1]);
  const double Megabytes = Converter.Plain().size() / 1e6;
  Converter.Convert(); // warm-up: buffer capacity and page cache
  std::vector<double> Rates;
  for (int K = 0; K < Runs; ++K) {
    const auto Start = std::chrono::steady_clock::now();
    Converter.Convert();
    const std::chrono::duration<double> Took = std::chrono::steady_clock::now() - Start;
    Rates.push_back(Megabytes / Took.count());
  }
  std::sort(Rates.begin(), Rates.end());
  std::printf(
      "engine: %.1f MB input, page %.1f MB, median %.0f MB/s over %d runs (min %.0f, max %.0f)\n",
      Megabytes, Converter.HTML().size() / 1e6, Rates[Rates.size() / 2], Runs, Rates.front(),
      Rates.back());
}
