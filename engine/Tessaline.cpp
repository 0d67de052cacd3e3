#include "Tessaline.h"

#include "FileIO.h"
#include "Markup.h"
#include "PageWriter.h"
#include "AnsiPage.h"
#include "BBCodePage.h"
#include "Html5Page.h"
#include "RtfPage.h"
#include "SourceText.h"
#include "TextTranslator.h"
#include "TokenStream.h"

TTessaline::TTessaline()
    : FScheme{{{clWhite, true, 0},
               {clNavy, false, fsItalic},
               {clBlack, false, fsBold},
               {clBlack, true, 0},
               {clBlack, true, 0},
               {clBlue, false, 0},
               {clBlack, true, 0},
               {clBlack, true, 0},
               {clTeal, false, 0},
               {clGray, false, 0}}} {}

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

bool TTessaline::Run(std::string_view Bytes, TPageWriter &Writer) {
  FControl.Restart();
  FScheme[heWhitespace].Style = 0;
  // The run works from a copy of the scheme: the window's progress
  // handler runs its event loop, where the colour editor may change the
  // converter's scheme, and a page must come from one scheme throughout.
  const TScheme Scheme = FScheme;
  const TPageOptions Options = FPageOptions;
  const TPageTexts Texts{FTitle, FAddHeader, FAddBodyStart, FAddBodyEnd};
  const TConditionOptions Conditions = FConditions;
  const bool Follows = FDialect == TPascalDialect::Modern && Conditions.Enabled;
  const TConditionOptions *FollowOrNone = Follows ? &Conditions : nullptr;
  TSourceText Source;
  if (Options.Format == TPageFormat::Tokens) {
    if (!WriteTokens(Bytes, Options.Encoding, Scheme, FollowOrNone, Writer))
      return false;
  } else if (Options.Format == TPageFormat::Classic) {
    // A byte-order mark is no text: copied, it showed as garbage, and a
    // UTF-16 source gave a page of NUL bytes.
    TakeMarkedSource(Bytes, Source);
    // A parser drops a line end right after "<PRE>": a fragment gives it
    // one, so that a source that starts with an empty line keeps it (the
    // page's body starts at once, as it always has).
    if (Options.Fragment)
      Writer.Put("<PRE>\r\n");
    else
      WritePageHeader(Writer, FTitle, FAddHeader, Scheme[heIdentifier].Color,
                      Scheme[heWhitespace].Color, FAddBodyStart, Source.MarkedUnicode);
    TMarkup Markup(Scheme);
    if (!ScanBody(Source.Text, Markup, Writer, FollowOrNone))
      return false;
    if (Options.Fragment) {
      // The page leaves the last markup open up to "</PRE>", which its
      // parser forgives; a fragment lands inside another page and closes it.
      Writer.Put(Markup.ClosingTexts());
      Writer.Put("</PRE>");
    } else {
      WritePageFooter(Writer, FAddBodyEnd);
    }
  } else {
    // The source's bytes are scanned as they are: the page's text is
    // decoded (and escaped, for RTF) as the writer puts it, on each thread
    // of a shared scan, so that no decoded copy of the source is made.
    TakeSource(Bytes, Options.Encoding, Source);
    const TPageFormat Format = Options.Format;
    const bool Html5 = Format == TPageFormat::HTML5;
    const uint64_t Lines = Html5 && Options.LineNumbers ? CountLines(Source.Text) : 0;
    const TTextTarget Target = Html5                           ? TTextTarget::HTML5
                               : Format == TPageFormat::ANSI   ? TTextTarget::ANSI
                               : Format == TPageFormat::BBCode ? TTextTarget::BBCode
                                                               : TTextTarget::RTF;
    const TTextTranslator Translator(Target, Source.Form, Source.Text, Lines, Options.ClassPrefix);
    // Valid UTF-8 with nothing to show as a symbol is an HTML5 page's text
    // as it is, unless its lines are numbered.
    const bool Translates = !Html5 || Lines > 0 || Source.Form != TTextForm::UTF8 ||
                            HasCharactersShownAsSymbols(Source.Text);
    const TTextTranslator *Text = Translates ? &Translator : nullptr;
    TSpanMarkup Spans;
    if (Html5) {
      TScheme Dark = Options.DarkScheme;
      Dark[heWhitespace].Style = 0;
      const TScheme *DarkOrNone = Options.HasDarkScheme ? &Dark : nullptr;
      BuildHtml5Spans(Scheme, DarkOrNone, Options, Spans, Follows);
      WriteHtml5Header(Writer, Texts, Scheme, DarkOrNone, Spans, Options, Lines);
      if (Lines > 0) {
        Translator.PutLineAnchor(Writer, 1);
        Writer.SetTextLine(1);
      }
    } else if (Format == TPageFormat::ANSI) {
      BuildAnsiSpans(Scheme, Options, Spans);
    } else if (Format == TPageFormat::BBCode) {
      BuildBBCodeSpans(Scheme, Spans);
      WriteBBCodeHeader(Writer);
    } else {
      BuildRtfSpans(Scheme, Spans);
      WriteRtfHeader(Writer, Scheme, Follows);
    }
    TMarkup Markup(Scheme, &Spans);
    if (!ScanBody(Source.Text, Markup, Writer, FollowOrNone, Text))
      return false;
    if (Html5)
      WriteHtml5Footer(Writer, Texts, Options, Markup.SpanIsOpen());
    else if (Format == TPageFormat::ANSI)
      WriteAnsiFooter(Writer, Markup.OpenSpanClose());
    else if (Format == TPageFormat::BBCode)
      WriteBBCodeFooter(Writer, Markup.OpenSpanClose());
    else
      WriteRtfFooter(Writer, Markup.SpanIsOpen());
  }
  Writer.Finish();
  FControl.ReportProgress(100);
  return true;
}

bool TTessaline::WriteTokens(std::string_view Bytes, TSourceEncoding Encoding,
                             const TScheme &Scheme, const TConditionOptions *Conditions,
                             TPageWriter &Writer) {
  TSourceText Source;
  TakeSource(Bytes, Encoding, Source);
  // Only a UTF-16 source is scanned from a decoded copy, whose pieces are
  // counted back in the source's bytes; any other is scanned where it
  // lies, after its byte-order mark.
  const bool Decoded = !Source.Storage.empty();
  const TTextTranslator Translator(Decoded ? TTextTarget::TokensOfUTF16 : TTextTarget::Tokens,
                                   Source.Form, Source.Text);
  TSpanMarkup Spans;
  BuildTokenSpans(Spans);
  TMarkup Markup(Scheme, &Spans);
  // The run form streams through a writer of its own into the lines, which
  // go on to Writer: neither holds more than a block.
  TTokenLines Lines(Writer, ByteOrderMarkLength(Bytes), Bytes.size());
  TPageWriter Runs(Lines);
  if (!ScanBody(Source.Text, Markup, Runs, Conditions, &Translator)) {
    Writer.Discard();
    Writer.Finish();
    return false;
  }
  Runs.Finish();
  Lines.Finish();
  return true;
}

bool TTessaline::ScanBody(std::string_view Text, TMarkup &Markup, TPageWriter &Writer,
                          const TConditionOptions *Conditions,
                          const TTextTranslator *Translator) {
  FControl.ReportProgress(1);
  Writer.SetTextTranslator(Translator);
  // A compiler's conditionals read a text as that compiler does: with
  // Free Pascal's, the mode starts as its default, FPC, unless the mode
  // options name one of its modes (Delphi's own reading is no mode of it).
  TModeOptions Modes = FModeOptions;
  if (Conditions && Conditions->Target == TCompilerTarget::FPC && Modes.Mode == TPascalMode::Delphi)
    Modes.Mode = TPascalMode::Fpc;
  FScanner.Scan(Text, FDialect, Markup, Writer, FControl, Modes, Conditions);
  Writer.SetTextTranslator(nullptr);
  if (FControl.Stopped()) {
    Writer.Discard();
    Writer.Finish();
    FControl.ReportProgress(0);
    return false;
  }
  return true;
}
