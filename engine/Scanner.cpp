#include "Scanner.h"

#include <cstring>
#include <optional>

#include "ByteSearch.h"
#include "Scan.h"
#include "ScanSplit.h"

void TScanner::Scan(std::string_view Text, TPascalDialect Dialect, TMarkup &Markup,
                    TPageWriter &Writer, TScanControl &Control, const TModeOptions &Modes,
                    const TConditionOptions *Conditions) {
  const TFindPlainStarts FindPlainStarts = ChoosePlainSearch(FOptions.WidestSearch);
  TScan Scan(Text, Markup, Writer, Control, FindPlainStarts, Dialect, Modes);
  const bool Follows = Conditions && Dialect == TPascalDialect::Modern && Conditions->Enabled;
  std::optional<TConditions> State;
  if (Follows) {
    State.emplace(*Conditions);
    Scan.Conditions = &*State;
  }
  Scan.StartReports();
  size_t i = 0;
  if (ShouldSplit(Text.size(), FOptions.Split))
    i = ScanWithHelper(Scan, Text, Dialect, Modes, Markup, FOptions.Split, Writer.Streaming(),
                       FHelperPages, FindPlainStarts, Writer.TextTranslator(), Control,
                       Follows ? Conditions : nullptr);
  i = Scan.Run<TScanMode::Caller>(i, Text.size());
  Scan.Finish(i);
}

std::string_view ExtractIdent(std::string_view Text, size_t P) {
  size_t End = P - 1;
  while (End < Text.size() && IsIn(static_cast<unsigned char>(Text[End]), csIdent))
    ++End;
  return Text.substr(P - 1, End - (P - 1));
}

namespace {
struct TStringAppender {
  std::string &Text;
  void Put(const char *Data, size_t Size) { Text.append(Data, Size); }
  void Put(std::string_view S) { Text.append(S); }
};
} // namespace

std::string EscapeHTML(std::string_view Text) {
  std::string Result;
  Result.reserve(Text.size());
  TStringAppender Out{Result};
  ByteSearch::PutEscaped(Out, Text.data(), Text.size(), Text.data() + Text.size());
  return Result;
}
