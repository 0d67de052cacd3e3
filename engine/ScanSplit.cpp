#include "ScanSplit.h"

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>

namespace {

// The helper works through its segments in order without waiting for the
// caller, up to two ahead of the one the caller has taken over last: while
// the caller copies one segment's page, the helper fills the other slot.
// A caller that comes to a segment the helper is still on does not wait
// for its end: the helper ends it where it is, and the caller goes on from
// there. Neither thread then waits for the other while there is text left
// for both, however their speeds differ.
class THelper {
public:
  THelper(std::string_view Text, TPascalDialect Dialect, const TModeOptions &Modes,
          const TMarkup &Like,
          TByteBuffer (&Pages)[2], TFindPlainStarts FindPlainStarts,
          const TTextTranslator *Translator, TScanControl &Control, bool Reporting, size_t Part,
          std::vector<TSegment> Segments, const TConditionOptions *Conditions)
      : Text(Text), Dialect(Dialect), Modes(Modes), Markup(Like, TMarkup::StartState),
        FindPlainStarts(FindPlainStarts), Translator(Translator), Control(Control),
        Reporting(Reporting), Part(Part), Segments(std::move(Segments)) {
    for (size_t K = 0; K < this->Segments.size(); ++K)
      this->Segments[K].Page = &Pages[K % 2];
    if (Conditions)
      this->Conditions.emplace(*Conditions);
    Guess.Mode = Modes.Mode;
    Guess.Keys = KeysOf(Modes.Mode);
    try {
      Thread = std::thread([this] { Work(); });
    } catch (const std::system_error &) {
      // No thread to be had: the caller converts every segment itself.
      for (TSegment &Segment : this->Segments)
        Segment.Failed = true;
      Done = this->Segments.size();
    }
  }
  THelper(const THelper &) = delete;
  THelper &operator=(const THelper &) = delete;
  ~THelper() {
    {
      std::lock_guard<std::mutex> Lock(Mutex);
      Abort = true;
      Yield = true;
    }
    Changed.notify_all();
    if (Thread.joinable())
      Thread.join();
  }

  // Segment K once the helper is through with it, perhaps before its end
  // (see TSegment::End). The caller takes the segments in order and
  // releases each before taking the next.
  const TSegment &Take(size_t K) {
    std::unique_lock<std::mutex> Lock(Mutex);
    if (Done <= K)
      Yield = true;
    Changed.wait(Lock, [this, K] { return Done > K; });
    return Segments[K];
  }
  void Release(size_t K) {
    {
      std::lock_guard<std::mutex> Lock(Mutex);
      Released = K + 1;
    }
    Changed.notify_all();
  }

private:
  void Work() {
    for (size_t K = 0; K < Segments.size(); ++K) {
      {
        std::unique_lock<std::mutex> Lock(Mutex);
        // Segment K goes where segment K - 2 was.
        Changed.wait(Lock, [this, K] { return Abort || K < Released + 2; });
        if (Abort)
          return;
      }
      // Segment K's marks go where segment K - 2's were too: reserving
      // them anew for every segment would cost a mapping of its own.
      if (K >= 2) {
        Segments[K].Marks.swap(Segments[K - 2].Marks);
        Segments[K].Idents.swap(Segments[K - 2].Idents);
      }
      Convert(Segments[K]);
      {
        std::lock_guard<std::mutex> Lock(Mutex);
        Done = K + 1;
        Yield = Abort; // a yield was for segment K only
      }
      Changed.notify_all();
    }
  }
  void Convert(TSegment &Segment) {
    Segment.Marks.clear();
    Segment.Idents.clear();
    Segment.Page->Clear();
    Markup.SetStateKey(TMarkup::StartState);
    try {
      Segment.Marks.reserve(Tuning::MarkedTokens);
      const size_t Size = Segment.To - Segment.From;
      TPageWriter Writer(*Segment.Page, Size + Size / 3 + 4096);
      Writer.SetTextTranslator(Translator);
      if (Translator && Translator->NumbersLines()) {
        // The lines before the segment, counted on from the last one's start.
        LinesBefore += CountLineEnds(Text.data() + CountedTo, Text.data() + Segment.From);
        CountedTo = Segment.From;
        Writer.SetTextLine(1 + LinesBefore);
      }
      TScan Scan(Text, Markup, Writer, Control, FindPlainStarts, Dialect, Modes);
      // The helper's guess of the mode and the conditionals at its
      // segment's start: what it had at the end of its segment before,
      // with the directives since, and no branch open. What it reads of
      // the symbols is logged, for the caller to check where it meets it.
      Segment.Log.Clear();
      if (Conditions) {
        Conditions->CloseBranches();
        Conditions->SetLog(nullptr);
        Scan.Conditions = &*Conditions;
      }
      if (Dialect == TPascalDialect::Modern) {
        Scan.GuessStartBetween(GuessedTo + 1, Segment.From, Guess);
        GuessedTo = Segment.From;
      }
      if (Conditions) {
        Conditions->CloseBranches();
        Conditions->SetLog(&Segment.Log);
      }
      Scan.Yield = &Yield;
      Scan.Marks = &Segment.Marks;
      Scan.Idents = &Segment.Idents;
      Scan.StartRecords(Reporting);
      Scan.StartAt(Segment.From);
      const size_t To = Part != 0 ? std::min(Segment.To, Segment.From + Part) : Segment.To;
      Segment.End = Scan.Run<TScanMode::Helper>(Segment.From, To);
      Segment.EndPendingPos = Scan.PendingPos();
      Segment.EndMarkup = Markup.StateKey();
      Segment.EndInAsm = Scan.InAsmBody();
      Segment.EndContext = Scan.ModernContext();
      Guess = Segment.EndContext;
      GuessedTo = Segment.End;
      if (Conditions)
        Segment.EndStack = Conditions->Levels();
      Segment.EndLine = Writer.TextLine();
      Writer.Finish();
    } catch (...) {
      Segment.Failed = true; // out of memory: the caller converts the segment itself
    }
  }

  const std::string_view Text;
  const TPascalDialect Dialect;
  const TModeOptions Modes;
  TMarkup Markup; // its own, from the start state at every segment
  std::optional<TConditions> Conditions;
  TModernContext Guess; // the mode at GuessedTo, as the helper guesses it
  size_t GuessedTo = 0;
  const TFindPlainStarts FindPlainStarts;
  const TTextTranslator *const Translator; // shared: it holds no state
  size_t CountedTo = 0;                    // numbered lines: line ends before
  uint64_t LinesBefore = 0;                // CountedTo
  TScanControl &Control; // never called: a helper's scan only records
  const bool Reporting;
  const size_t Part;
  std::vector<TSegment> Segments;
  std::mutex Mutex;
  std::condition_variable Changed;
  bool Abort = false;
  std::atomic<bool> Yield{false}; // read by the scan without the lock
  size_t Done = 0;                // segments converted
  size_t Released = 0;            // segments the caller is through with
  std::thread Thread;
};

} // namespace

size_t TScan::MeetHelper(size_t i, const TSegment &Helper) {
  const size_t To = Helper.To;
  if (i >= To || Helper.Failed)
    return i; // our last token took in the whole segment, or the helper gave up
  MeetingMarks = &Helper.Marks;
  MeetingLog = &Helper.Log;
  MarkIndex = 0;
  Met = false;
  i = Run<TScanMode::Meet>(i, To);
  if (!Met)
    return i; // the caller goes on by itself
  // From the token at P on, the helper's page is ours: its page bytes from
  // that token on follow what we have put, and its pending source bytes
  // and markup state are ours at its end.
  const size_t P = i + 1;
  const TTokenMark &Mark = Helper.Marks[MarkIndex];
  WritePendingBefore(P);
  const size_t From = Mark.Written + (P - Mark.PendingPos);
  if (From < Helper.Page->Size())
    Writer.PutOwned(Helper.Page->Data() + From, Helper.Page->Size() - From);
  if (Helper.EndPendingPos > P)
    Writer.SetTextLine(Helper.EndLine); // the helper's page holds text after P
  Pending = S + std::max(P, Helper.EndPendingPos);
  Markup.SetStateKey(Helper.EndMarkup);
  if (Translated)
    NoteOpenSpan(Helper.EndMarkup);
  InAsm = Helper.EndInAsm;
  Ctx = Helper.EndContext;
  if (Conditions)
    Conditions->TakeOver(Mark.CondDepth, Helper.EndStack, Helper.Log, P);
  // Its progress reports, in order, as they would have come; a Stop from
  // one of them ends the run as it would have.
  if (Reporting()) {
    for (const TIdentMark &Ident : Helper.Idents) {
      if (Ident.End < P || Ident.Percent <= LastPercent)
        continue;
      Report(Ident.Percent);
      if (Control.Stopped())
        return Helper.End;
    }
  }
  return Helper.End;
}


bool ShouldSplit(size_t Length, const TScanSplit &Split) {
  return Split.Segment > 0 && Length >= Split.MinText && std::thread::hardware_concurrency() > 1;
}

size_t ScanWithHelper(TScan &Scan, std::string_view Text, TPascalDialect Dialect,
                      const TModeOptions &Modes, const TMarkup &Like, const TScanSplit &Split, bool Streaming,
                      TByteBuffer (&Pages)[2], TFindPlainStarts FindPlainStarts,
                      const TTextTranslator *Translator, TScanControl &Control,
                      const TConditionOptions *Conditions) {
  // Rounds of two segments: the caller's first, the helper's from the
  // first line start after the caller's share of the round on, which is
  // where a token almost always starts, and rarely inside a comment or
  // string. The caller's share is the smaller, as it also copies the
  // helper's pages. A caller that streams the page also hands all of it
  // to the sink, which takes much of its time: its share is smaller
  // still, and so are the rounds, so that its part of the last one,
  // which it converts while the helper has nothing left to do, is short.
  const size_t Len = Text.size();
  const size_t Round = 2 * std::max<size_t>(
                               Streaming ? Split.Segment / Tuning::StreamingRoundDivisor
                                         : Split.Segment,
                               1);
  const size_t CallerShare = Streaming ? Tuning::StreamingCallerShare : Tuning::CallerShare;
  struct TRound {
    size_t Middle, To; // Middle 0: the round has no helper segment
  };
  std::vector<TRound> Rounds;
  std::vector<TSegment> Segments;
  for (size_t Start = 0; Start < Len; Start += Round) {
    const size_t To = std::min(Len, Start + Round);
    const size_t Half = Start + (To - Start) * CallerShare / 100;
    const void *LineEnd = std::memchr(Text.data() + Half, '\n', To - Half);
    size_t Middle = LineEnd ? static_cast<const char *>(LineEnd) - Text.data() + 1 : 0;
    if (Middle <= Start || Middle >= To)
      Middle = 0;
    Rounds.push_back({Middle, To});
    if (Middle != 0) {
      Segments.emplace_back();
      Segments.back().From = Middle;
      Segments.back().To = To;
    }
  }
  THelper Helper(Text, Dialect, Modes, Like, Pages, FindPlainStarts, Translator, Control,
                 Scan.Reporting(), Split.HelperPart, std::move(Segments), Conditions);
  size_t i = 0, K = 0;
  for (const TRound &Round : Rounds) {
    if (Control.Stopped())
      break;
    if (Round.Middle == 0) {
      i = Scan.Run<TScanMode::Caller>(i, Round.To);
      continue;
    }
    i = Scan.Run<TScanMode::Caller>(i, Round.Middle);
    if (Control.Stopped())
      break;
    i = Scan.MeetHelper(i, Helper.Take(K));
    Helper.Release(K++);
    i = Scan.Run<TScanMode::Caller>(i, Round.To);
  }
  return i;
}
