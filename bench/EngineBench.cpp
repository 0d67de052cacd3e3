// In-process throughput of the converter: Convert of one file into the
// page buffer, repeated, reporting the median in MB/s (10^6 bytes of input
// per second).
//   engine_bench [--one-thread] [--modern [--target fpc|delphi]] [--streamed] [--page PAGE]
//                FILE [RUNS]
// PAGE: html5, html5-lines, rtf, fragment (classic), html5-fragment,
// html5-inline (an inline-styled fragment), ansi, ansi256, bbcode, tokens.
// --target: the modern dialect following conditionals with that
// compiler's symbols. --streamed: ConvertTo a sink that keeps nothing, as
// tessaline-cli streams a page, instead of Convert into the page buffer.
//   engine_bench --progress FILE
// The second form streams the page to nowhere once and checks the progress
// reports (1, strictly growing values, 100), for files of any size.
// Every page is followed by the machine's floor: one memcpy of the page's
// bytes. The token stream's also by the line writer alone: its lines
// written from their runs, known in advance, by one thread.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "FileIO.h"
#include "Tessaline.h"
#include "TokenStream.h"

namespace {

class TNullSink : public TOutputSink {
public:
  size_t Bytes = 0;
  void Write(const char *, size_t Size) override { Bytes += Size; }
};

// The median seconds that TTokenLines takes to write the token stream
// Lines again from its runs, a switch and one piece per line.
double TimeTokenLines(const std::string &Lines, size_t SourceSize, int Runs) {
  std::string Names[ElementCount];
  for (int E = 0; E < ElementCount; ++E)
    Names[E] = TokenElementName(static_cast<THighlightElement>(E));
  TByteBuffer RunForm;
  {
    TPageWriter Writer(RunForm, Lines.size() / 8);
    for (size_t At = 0; At < Lines.size();) {
      const size_t End = Lines.find('\n', At);
      const std::string_view Line(Lines.data() + At, End - At);
      const size_t Length = Line.find("\"length\":") + 9;
      const size_t Name = Line.find("\"element\":\"") + 11;
      const std::string_view Element = Line.substr(Name, Line.size() - 2 - Name);
      for (int E = 0; E < ElementCount; ++E)
        if (Names[E] == Element)
          PutTokenSwitch(Writer, static_cast<THighlightElement>(E));
      PutTokenPiece(Writer, std::strtoull(Line.data() + Length, nullptr, 10));
      At = End + 1;
    }
    Writer.Finish();
  }
  std::vector<double> Seconds;
  for (int K = 0; K < Runs; ++K) {
    TNullSink Sink;
    const auto Start = std::chrono::steady_clock::now();
    TPageWriter Out(Sink);
    TTokenLines Written(Out, 0, SourceSize);
    Written.Write(RunForm.Data(), RunForm.Size());
    Written.Finish();
    Out.Finish();
    Seconds.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - Start).count());
    if (Sink.Bytes != Lines.size())
      std::fprintf(stderr, "the lines from their runs differ in size: %zu, not %zu\n", Sink.Bytes,
                   Lines.size());
  }
  std::sort(Seconds.begin(), Seconds.end());
  return Seconds[Seconds.size() / 2];
}

int CheckProgress(const char *FileName) {
  TTessaline Converter;
  Converter.LoadFromFile(FileName);
  std::vector<int> Reports;
  Converter.SetOnProgress([&Reports](TTessaline &, int32_t P) { Reports.push_back(P); });
  TNullSink Sink;
  Converter.ConvertTo(Sink);
  bool Growing = Reports.size() >= 2 && Reports.front() == 1 && Reports.back() == 100;
  for (size_t K = 2; K + 1 < Reports.size(); ++K)
    Growing = Growing && Reports[K - 1] < Reports[K] && Reports[K] <= 100;
  std::printf("progress: %zu MB input, %zu MB page, %zu reports (%d ... %d): %s\n",
              Converter.Plain().size() / 1000000, Sink.Bytes / 1000000, Reports.size(),
              Reports.empty() ? -1 : Reports[Reports.size() > 2 ? Reports.size() - 2 : 0],
              Reports.empty() ? -1 : Reports.back(), Growing ? "ok" : "WRONG");
  return Growing ? 0 : 1;
}

} // namespace

int main(int argc, char **argv) {
  if (argc >= 3 && std::strcmp(argv[1], "--progress") == 0)
    return CheckProgress(argv[2]);
  // The one-thread figure shows what the scanner itself does, apart from
  // the sharing of large texts.
  const bool OneThread = argc >= 2 && std::strcmp(argv[1], "--one-thread") == 0;
  if (OneThread) {
    --argc;
    ++argv;
  }
  // The modern dialect, to compare with the classic one.
  const bool Modern = argc >= 2 && std::strcmp(argv[1], "--modern") == 0;
  if (Modern) {
    --argc;
    ++argv;
  }
  // The modern dialect following conditionals with a compiler's symbols,
  // to compare with the modern dialect alone.
  TConditionOptions Conditions;
  if (Modern && argc >= 3 && std::strcmp(argv[1], "--target") == 0) {
    Conditions.Enabled = ParseCompilerTarget(argv[2], Conditions.Target);
    argc -= 2;
    argv += 2;
  }
  // Streamed, as tessaline-cli writes, a page many times its source (the
  // token stream's) fills no page buffer, whose faults the in-memory
  // figure includes.
  const bool Streamed = argc >= 2 && std::strcmp(argv[1], "--streamed") == 0;
  if (Streamed) {
    --argc;
    ++argv;
  }
  // The other page formats, to compare with the classic page.
  TPageOptions Page;
  std::string PageName;
  if (argc >= 3 && std::strcmp(argv[1], "--page") == 0) {
    PageName = argv[2];
    const std::string &Name = PageName;
    Page.Format = Name == "rtf"                 ? TPageFormat::RTF
                  : Name.starts_with("ansi")    ? TPageFormat::ANSI
                  : Name == "bbcode"            ? TPageFormat::BBCode
                  : Name == "tokens"            ? TPageFormat::Tokens
                  : Name == "fragment"          ? TPageFormat::Classic
                                                : TPageFormat::HTML5;
    Page.LineNumbers = Name == "html5-lines";
    Page.Fragment = Name.ends_with("fragment") || Name == "html5-inline";
    Page.InlineStyles = Name == "html5-inline";
    Page.Ansi256 = Name == "ansi256";
    argc -= 2;
    argv += 2;
  }
  if (argc < 2) {
    std::fprintf(stderr, "usage: engine_bench [--one-thread] [--modern [--target fpc|delphi]] "
                         "[--streamed] [--page PAGE] FILE [RUNS] | engine_bench --progress FILE\n");
    return 2;
  }
  const int Runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 9;
  TTessaline Converter;
  if (OneThread) {
    TScanOptions Options;
    Options.Split.Segment = 0;
    Converter.SetScanOptions(Options);
  }
  if (Modern)
    Converter.SetDialect(TPascalDialect::Modern);
  Converter.SetConditions(Conditions);
  Converter.SetPageOptions(Page);
  Converter.LoadFromFile(argv[1]);
  const double Megabytes = Converter.Plain().size() / 1e6;
  Converter.Convert(); // warm-up: buffer capacity and page cache
  size_t PageSize = Converter.HTMLLength();
  std::vector<double> Rates;
  for (int K = 0; K < Runs; ++K) {
    TNullSink Sink;
    const auto Start = std::chrono::steady_clock::now();
    if (Streamed)
      Converter.ConvertTo(Sink);
    else
      Converter.Convert();
    const std::chrono::duration<double> Took = std::chrono::steady_clock::now() - Start;
    Rates.push_back(Megabytes / Took.count());
  }
  std::sort(Rates.begin(), Rates.end());
  std::printf("engine%s%s%s%s%s%s: %.1f MB input, page %.1f MB, median %.0f MB/s over %d runs (min "
              "%.0f, max %.0f)\n",
              OneThread ? ", one thread" : "", Modern ? ", modern" : "",
              Conditions.Enabled ? " with conditionals" : "", Streamed ? ", streamed" : "",
              PageName.empty() ? "" : ", ", PageName.c_str(), Megabytes, PageSize / 1e6,
              Rates[Rates.size() / 2], Runs, Rates.front(), Rates.back());
  // The machine's own limit for comparison: one thread copying the page's
  // bytes (more than the source) from the source buffer and the page
  // buffer into a buffer already in place, as the conversion does at best.
  const std::string &Source = Converter.Plain();
  std::vector<char> Copy(PageSize);
  std::vector<double> CopyRates;
  for (int K = 0; K < Runs; ++K) {
    const auto Start = std::chrono::steady_clock::now();
    // A page may be more than twice its source: the source again and again.
    for (size_t Done = 0; Done < PageSize;) {
      const size_t Part = std::min(Source.size(), PageSize - Done);
      std::memcpy(Copy.data() + Done, Source.data(), Part);
      Done += Part;
    }
    const std::chrono::duration<double> Took = std::chrono::steady_clock::now() - Start;
    CopyRates.push_back(Megabytes / Took.count());
  }
  std::sort(CopyRates.begin(), CopyRates.end());
  std::printf("floor: memcpy of the page's bytes, median %.0f MB of input per s\n",
              CopyRates[CopyRates.size() / 2]);
  if (Page.Format == TPageFormat::Tokens) {
    Converter.Convert();
    const double Rate = TimeTokenLines(Converter.HTML(), Converter.Plain().size(), Runs);
    std::printf("floor: the lines alone from their runs, one thread, median %.0f MB of input "
                "per s\n",
                Megabytes / Rate);
  }
}
