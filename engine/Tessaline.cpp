#include "Tessaline.h"

#include "FileIO.h"
#include "Markup.h"
#include "PageWriter.h"

TTessaline::TTessaline()
    : FScheme{{{clWhite, true, 0},
               {clNavy, false, fsItalic},
               {clBlack, false, fsBold},
               {clBlack, true, 0},
               {clBlack, true, 0},
               {clBlue, false, 0},
               {clBlack, true, 0},
               {clBlack, true, 0},
               {clTeal, false, 0}}} {}

void TTessaline::SetElementColor(THighlightElement E, TColor Value) {
  // Re-storing the same colour must keep a default-coloured element
  // default-coloured, so only a real change clears the flag.
  if (FScheme[E].Color == Value)
    return;
  FScheme[E].Color = Value;
  FScheme[E].Default = false;
}

void TTessaline::LoadFromFile(const std::string &FileName) { FPlain = ReadFileBytes(FileName); }

void TTessaline::SaveToFile(const std::string &FileName) const {
  TSafeFileWriter File(FileName);
  File.Write(FOutput.Data(), FOutput.Size());
  File.Commit();
}

void TTessaline::TControl::ReportProgress(int32_t Percent) {
  if (FOwner.FOnProgress)
    FOwner.FOnProgress(FOwner, Percent);
}

bool TTessaline::Convert() {
  FOutput.Clear();
  TPageWriter Writer(FOutput, FPlain.size() + FPlain.size() / Tuning::PageReserveDivisor +
                                  Tuning::PageReserveExtra);
  return Run(FPlain, Writer);
}

bool TTessaline::ConvertTo(TOutputSink &Sink) { return ConvertTo(Sink, FPlain); }

bool TTessaline::ConvertTo(TOutputSink &Sink, std::string_view Text) {
  FOutput.Clear();
  TPageWriter Writer(Sink);
  return Run(Text, Writer);
}

bool TTessaline::Run(std::string_view Text, TPageWriter &Writer) {
  FControl.Restart();
  FScheme[heWhitespace].Style = 0;
  WritePageHeader(Writer, FTitle, FAddHeader, FScheme[heIdentifier].Color,
                  FScheme[heWhitespace].Color, FAddBodyStart);
  // The run works from a copy of the scheme: the window's progress
  // handler runs its event loop, where the colour editor may change the
  // converter's scheme, and a page must come from one scheme throughout.
  const TScheme Scheme = FScheme;
  TMarkup Markup(Scheme);
  FControl.ReportProgress(1);
  FScanner.Scan(Text, FDialect, Scheme, Markup, Writer, FControl);
  if (FControl.Stopped()) {
    Writer.Discard();
    Writer.Finish();
    FControl.ReportProgress(0);
    return false;
  }
  WritePageFooter(Writer, FAddBodyEnd);
  Writer.Finish();
  FControl.ReportProgress(100);
  return true;
}
