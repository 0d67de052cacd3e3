// Whole-process timing: runs a command several times and prints the median
// wall time, the throughput for a given number of input bytes, and the
// largest peak resident set of the runs.
//   process_bench [--before-each SHELL-COMMAND] LABEL RUNS BYTES COMMAND [ARGS...]
// The shell command runs before each run, untimed: removing the pages of the
// run before measures writing new files rather than replacing old ones.
// BYTES 0 leaves the throughput out. The command's standard output is
// thrown away.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

int main(int argc, char **argv) {
  const char *BeforeEach = nullptr;
  if (argc >= 3 && std::strcmp(argv[1], "--before-each") == 0) {
    BeforeEach = argv[2];
    argc -= 2;
    argv += 2;
  }
  if (argc < 5) {
    std::fprintf(stderr, "usage: process_bench [--before-each SHELL-COMMAND] LABEL RUNS BYTES "
                         "COMMAND [ARGS...]\n");
    return 2;
  }
  const char *Label = argv[1];
  const int Runs = std::max(1, std::atoi(argv[2]));
  const double Megabytes = std::atof(argv[3]) / 1e6;
  std::vector<double> Seconds;
  long PeakKiB = 0;
  for (int K = 0; K < Runs; ++K) {
    if (BeforeEach && std::system(BeforeEach) != 0) {
      std::fprintf(stderr, "%s: the command to run before each run failed\n", Label);
      return 1;
    }
    const auto Start = std::chrono::steady_clock::now();
    const pid_t Child = fork();
    if (Child == 0) {
      // What a command prints is no part of what is measured.
      if (const int Null = open("/dev/null", O_WRONLY); Null >= 0)
        dup2(Null, STDOUT_FILENO);
      execvp(argv[4], argv + 4);
      _exit(127);
    }
    int Status = 0;
    rusage Usage{};
    if (Child < 0 || wait4(Child, &Status, 0, &Usage) != Child || !WIFEXITED(Status) ||
        WEXITSTATUS(Status) != 0) {
      std::fprintf(stderr, "%s: the command failed\n", Label);
      return 1;
    }
    const std::chrono::duration<double> Took = std::chrono::steady_clock::now() - Start;
    Seconds.push_back(Took.count());
    PeakKiB = std::max(PeakKiB, Usage.ru_maxrss);
  }
  std::sort(Seconds.begin(), Seconds.end());
  const double Median = Seconds[Seconds.size() / 2];
  char Rate[32] = "";
  if (Megabytes > 0)
    std::snprintf(Rate, sizeof Rate, ", %.0f MB/s", Megabytes / Median);
  std::printf("%s: median %.3f s over %d runs (min %.3f, max %.3f)%s, peak memory %.1f MiB\n",
              Label, Median, Runs, Seconds.front(), Seconds.back(), Rate, PeakKiB / 1024.0);
}
