// libFuzzer target for the converter. The first 2 bytes per element of an
// input choose a scheme (per element a colour from a small palette, the
// default flag and the styles), the next one the dialect (its low bit set:
// modern; with bit 6 also, conditionals followed, and bit 7, Free Pascal's
// symbols predefined), the rest is the source. With conditionals, the
// source's first line, up to its first LF, gives the symbols as the
// window's Defines field does ("A,-B,V=3"); the rest is the text. Every page must equal the plain
// model's, strip back to the source exactly, stream identically, and pair
// its tags as the lazy markup allows, and come out the same (progress
// included) when a helper thread takes segments of it, with any form of
// the plain-token search; HTML5 and RTF pages and the token stream, too,
// must come out the same with a helper thread and streamed, and the token
// stream must cover the source exactly; anything else aborts.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "ReferenceModel.h"
#include "SourceText.h"
#include "Tessaline.h"
#include "TestSupport.h"

namespace {

constexpr size_t SchemeBytes = 2 * ElementCount;
constexpr size_t HeaderBytes = SchemeBytes + 1;

class TCollector : public TOutputSink {
public:
  std::string Bytes;
  void Write(const char *Data, size_t Size) override { Bytes.append(Data, Size); }
};

[[noreturn]] void Fail(const char *What) {
  std::fprintf(stderr, "fuzz check failed: %s\n", What);
  std::abort();
}

// Whether the token stream's lines cover Size bytes from 0 exactly, in
// order, with no two consecutive lines of one element.
bool CoversExactly(const std::string &Stream, size_t Size) {
  unsigned long long Next = 0;
  std::string Last;
  for (size_t From = 0; From < Stream.size();) {
    const size_t End = Stream.find('\n', From);
    if (End == std::string::npos)
      return false;
    const std::string Line = Stream.substr(From, End - From);
    unsigned long long Start = 0, Length = 0;
    char Name[40] = {};
    if (std::sscanf(Line.c_str(), "{\"start\":%llu,\"length\":%llu,\"element\":\"%39[^\"]", &Start,
                    &Length, Name) != 3 ||
        Start != Next || Length == 0 || Name == Last)
      return false;
    Next += Length;
    Last = Name;
    From = End + 1;
  }
  return Next == Size;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *Data, size_t Size) {
  if (Size < HeaderBytes)
    return 0;
  // Few colours, so equal colours (which change the markup) are common.
  static const TColor Palette[] = {clBlack,  clWhite,   clNavy, clRed,
                                   0x123456, clBtnFace, clNone, clBlack};
  TTessaline Converter;
  TModel Model;
  for (int E = 0; E < ElementCount; ++E) {
    const auto El = static_cast<THighlightElement>(E);
    Converter.SetElementColor(El, Palette[Data[2 * E] & 7]);
    Converter.SetElementDefault(El, (Data[2 * E] & 8) != 0);
    Converter.SetElementStyle(El, Data[2 * E + 1] & 15);
    Model.Colors[E] = Converter.ElementColor(El);
    Model.Defaults[E] = Converter.ElementDefault(El);
    Model.Styles[E] = Converter.ElementStyle(El);
  }
  if (Data[SchemeBytes] & 1) {
    Converter.SetDialect(TPascalDialect::Modern);
    Model.Modern = true;
    // The mode the modern scan starts in, and whether "{$mode ...}" counts.
    static const std::pair<TPascalMode, const char *> Modes[] = {
        {TPascalMode::Delphi, "delphi"}, {TPascalMode::Fpc, "fpc"},
        {TPascalMode::ObjFpc, "objfpc"}, {TPascalMode::FpcDelphi, "delphi-fpc"}};
    const auto &[Mode, Name] = Modes[(Data[SchemeBytes] >> 1) & 3];
    Converter.SetModeOptions({Mode, (Data[SchemeBytes] & 8) == 0});
    Model.Mode = Name;
    Model.FollowModes = (Data[SchemeBytes] & 8) == 0;
  }
  std::string Text(reinterpret_cast<const char *>(Data) + HeaderBytes, Size - HeaderBytes);
  TModelConditions ModelConditions;
  if ((Data[SchemeBytes] & 0x41) == 0x41) {
    const size_t LineEnd = Text.find('\n');
    TConditionOptions Conditions;
    if (LineEnd == std::string::npos ||
        !ParseDefinesField(std::string_view(Text).substr(0, LineEnd), Conditions))
      Conditions = TConditionOptions();
    Text.erase(0, LineEnd == std::string::npos ? 0 : LineEnd + 1);
    Conditions.Enabled = true;
    Conditions.Target = Data[SchemeBytes] & 0x80 ? TCompilerTarget::FPC : TCompilerTarget::None;
    ModelConditions.FpcModes = Conditions.Target == TCompilerTarget::FPC;
    for (const TPredefinedSymbol &S :
         PredefinedSymbols(Conditions.Target, Conditions.OS, Conditions.CPU))
      ModelConditions.Symbols[S.Name] = {1, S.State.HasValue, S.State.Value};
    for (const TSymbolChange &Change : Conditions.Changes)
      ModelConditions.Set(Change.Name, Change.Define);
    Converter.SetConditions(Conditions);
    Model.Conditions = &ModelConditions;
  }
  std::vector<int> Progress;
  Converter.SetOnProgress([&Progress](TTessaline &, int32_t P) { Progress.push_back(P); });
  Converter.SetPlain(Text);
  if (!Converter.Convert())
    Fail("Convert returned false");
  const std::string Page = Converter.HTML();
  // A byte-order mark is taken before the scan, which the model leaves out.
  TSourceText Source;
  TakeMarkedSource(Text, Source);
  Model.Run(std::string(Source.Text));
  if (BodyOf(Page) != Model.Body)
    Fail("body differs from the model's");
  if (Progress != Model.Progress)
    Fail("progress differs from the model's");
  std::string TagError;
  if (StripMarkup(BodyOf(Page), TagError) != Source.Text || !TagError.empty())
    Fail(TagError.empty() ? "stripped page is not the source" : TagError.c_str());
  // For one input in four (which keeps most of the run's speed), segments
  // of 64 bytes and up, so a 4 KB input costs a few dozen threads.
  if (Size % 4 == 0) {
    // Half of them with a helper that ends its segments early, as when
    // the caller comes to them first.
    TScanOptions Options;
    Options.Split = {64 + (Size * 7 + Data[0]) % 1024, 0,
                     Size % 8 == 0 ? size_t(16) + Data[0] % 512 : size_t(0)};
    // Each form of the plain-token search in turn.
    Options.WidestSearch = static_cast<TPlainSearch>(Size / 4 % 3);
    Converter.SetScanOptions(Options);
    std::vector<int> SplitProgress;
    Converter.SetOnProgress(
        [&SplitProgress](TTessaline &, int32_t P) { SplitProgress.push_back(P); });
    const bool SplitDone = Converter.Convert() && Converter.HTML() == Page;
    Converter.SetOnProgress(nullptr);
    TCollector SplitStreamed;
    const bool SplitStreamDone = Converter.ConvertTo(SplitStreamed);
    Converter.SetScanOptions(TScanOptions());
    if (!SplitDone)
      Fail("page with a helper thread differs");
    if (SplitProgress != Progress)
      Fail("progress with a helper thread differs");
    if (!SplitStreamDone || SplitStreamed.Bytes != Page)
      Fail("streamed page with a helper thread differs");
  }
  TCollector Streamed;
  Converter.SetOnProgress(nullptr);
  if (!Converter.ConvertTo(Streamed) || Streamed.Bytes != Page)
    Fail("streamed page differs");
  // For another input in four, the UTF-8 pages, whose text each thread
  // translates as it writes its part, and the token stream, whose run form
  // each thread writes: the dialect byte's other bits choose (with the
  // input's size) HTML5, RTF, ANSI, BBCode or the token stream, line
  // numbers and the encoding.
  if (Size % 4 == 1) {
    const uint8_t Choice = Data[SchemeBytes];
    TPageOptions PageOptions;
    static constexpr TPageFormat Formats[] = {TPageFormat::HTML5, TPageFormat::RTF,
                                               TPageFormat::ANSI, TPageFormat::BBCode};
    PageOptions.Format = Formats[(Choice & 2 ? 1 : 0) + (Size & 8 ? 2 : 0)];
    if ((Choice & 0xC0) == 0xC0)
      PageOptions.Format = TPageFormat::Tokens;
    PageOptions.LineNumbers = PageOptions.Format != TPageFormat::Tokens && (Choice & 4) != 0;
    PageOptions.Encoding = static_cast<TSourceEncoding>((Choice >> 3) % 6);
    // HTML5 fragments, with inline styles where numbers leave room; the
    // 256 colours of ANSI.
    PageOptions.Fragment = (Choice & 0x40) != 0;
    PageOptions.InlineStyles = (Choice & 0x80) != 0 && !PageOptions.LineNumbers;
    PageOptions.Ansi256 = (Choice & 0x80) != 0;
    Converter.SetPageOptions(PageOptions);
    if (!Converter.Convert())
      Fail("Convert of a UTF-8 page returned false");
    const std::string OneThread = Converter.HTML();
    if (PageOptions.Format == TPageFormat::Tokens && !CoversExactly(OneThread, Text.size()))
      Fail("token stream does not cover the source exactly");
    TScanOptions Options;
    Options.Split = {64 + (Size * 7 + Data[0]) % 1024, 0,
                     Size % 8 == 1 ? size_t(16) + Data[0] % 512 : size_t(0)};
    Converter.SetScanOptions(Options);
    TCollector SplitStreamed;
    if (!Converter.Convert() || Converter.HTML() != OneThread)
      Fail("UTF-8 page with a helper thread differs");
    if (!Converter.ConvertTo(SplitStreamed) || SplitStreamed.Bytes != OneThread)
      Fail("streamed UTF-8 page with a helper thread differs");
    Converter.SetScanOptions(TScanOptions());
    Converter.SetPageOptions(TPageOptions());
  }
  return 0;
}
