#include "Tessaline.h"

#include "FileIO.h"
#include "Markup.h"
#include "PageWriter.h"

TTessaline::TTessaline()
    : FColors{clWhite, clNavy, clBlack, clBlack, clBlack, clBlue, clBlack, clBlack},
      FDefaults{true, false, false, true, true, false, true, true}, FStyles{0, fsItalic, fsBold,
                                                                            0, 0,        0,
                                                                            0, 0} {}

void TTessaline::SetElementColor(THighlightElement E, TColor Value) {
  // Re-storing the same colour must keep a default-coloured element
  // default-coloured, so only a real change clears the flag.
  if (FColors[E] == Value)
    return;
  FColors[E] = Value;
  FDefaults[E] = false;
}

void TTessaline::LoadFromFile(const std::string &FileName) { FPlain = ReadFileBytes(FileName); }

void TTessaline::SaveToFile(const std::string &FileName) const {
  TSafeFileWriter File(FileName);
  File.Write(FOutput.Data(), FOutput.Size());
  File.Commit();
}

void TTessaline::ReportProgress(int32_t Percent) {
  if (FOnProgress)
    FOnProgress(*this, Percent);
}

bool TTessaline::Convert() {
  FOutput.Clear();
  // Most pages come out a fifth to a third larger than their source;
  // reserving that up front saves the copies of repeated growth.
  TPageWriter Writer(FOutput, FPlain.size() + FPlain.size() / 3 + 4096);
  FSource = FPlain;
  return Run(Writer);
}

bool TTessaline::ConvertTo(TOutputSink &Sink) { return ConvertTo(Sink, FPlain); }

bool TTessaline::ConvertTo(TOutputSink &Sink, std::string_view Text) {
  FOutput.Clear();
  TPageWriter Writer(Sink);
  FSource = Text;
  const bool Done = Run(Writer);
  FSource = FPlain;
  return Done;
}

bool TTessaline::Run(TPageWriter &Writer) {
  FCancel = false;
  FStyles[heWhitespace] = 0;
  WritePageHeader(Writer, FTitle, FAddHeader, FColors[heIdentifier], FColors[heWhitespace],
                  FAddBodyStart);
  TMarkup Markup(FColors, FDefaults, FStyles);
  ReportProgress(1);
  ScanPlain(Markup, Writer);
  if (FCancel) {
    Writer.Discard();
    Writer.Finish();
    ReportProgress(0);
    return false;
  }
  WritePageFooter(Writer, FAddBodyEnd);
  Writer.Finish();
  ReportProgress(100);
  return true;
}
