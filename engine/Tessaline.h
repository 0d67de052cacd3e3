// TTessaline, the converter from Pascal source to one highlighted HTML page.
//
// A caller sets the page texts and Plain, runs Convert and reads HTML (or
// SaveToFile), or runs ConvertTo to stream the page elsewhere. The classic
// page works on byte strings: no character set or line end is converted,
// except that a source with a byte-order mark is read as Unicode (see
// TakeMarkedSource). The four page texts are inserted verbatim as HTML.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

#include "Errors.h"
#include "PageOptions.h"
#include "PageWriter.h"
#include "Scanner.h"
#include "Types.h"

class TTessaline;
class TMarkup;

/// Progress callback: Sender is the converter that runs, Percent 0..100.
using TParseProgressEvent = std::function<void(TTessaline &Sender, int32_t Percent)>;

class TTessaline {
public:
  /// A converter with the built-in scheme: navy italic comments, bold
  /// reserved words, blue strings, teal directives, gray inactive code, the rest in the page
  /// text colour (black) on white; the classic dialect. Page texts and
  /// Plain are empty.
  TTessaline();
  TTessaline(const TTessaline &) = delete;
  TTessaline &operator=(const TTessaline &) = delete;

  const std::string &Title() const { return FTitle; }
  void SetTitle(std::string Value) { FTitle = std::move(Value); }
  const std::string &AddHeader() const { return FAddHeader; }
  void SetAddHeader(std::string Value) { FAddHeader = std::move(Value); }
  const std::string &AddBodyStart() const { return FAddBodyStart; }
  void SetAddBodyStart(std::string Value) { FAddBodyStart = std::move(Value); }
  const std::string &AddBodyEnd() const { return FAddBodyEnd; }
  void SetAddBodyEnd(std::string Value) { FAddBodyEnd = std::move(Value); }
  /// The Pascal source, as bytes.
  const std::string &Plain() const { return FPlain; }
  void SetPlain(std::string Value) { FPlain = std::move(Value); }
  /// A copy of the page the last Convert built; empty after a cancelled run.
  std::string HTML() const { return std::string(FOutput.Data(), FOutput.Size()); }
  /// The length of HTML, without the copy.
  size_t HTMLLength() const { return FOutput.Size(); }
  const TParseProgressEvent &OnProgress() const { return FOnProgress; }
  void SetOnProgress(TParseProgressEvent Value) { FOnProgress = std::move(Value); }

  /// Storing a colour that differs from the stored one also clears the
  /// element's default-colour flag; storing the same colour changes nothing.
  TColor ElementColor(THighlightElement E) const { return FScheme[E].Color; }
  void SetElementColor(THighlightElement E, TColor Value);
  /// When set, the element's tokens get no colour markup of their own.
  bool ElementDefault(THighlightElement E) const { return FScheme[E].Default; }
  void SetElementDefault(THighlightElement E, bool Value) { FScheme[E].Default = Value; }
  TFontStyles ElementStyle(THighlightElement E) const { return FScheme[E].Style; }
  void SetElementStyle(THighlightElement E, TFontStyles Value) { FScheme[E].Style = Value; }
  /// The whole scheme at once.
  const TScheme &Scheme() const { return FScheme; }

  /// The rules the source is read by (see TPascalDialect), in every page
  /// format. Read when a run starts: a change during a run applies to
  /// the next.
  TPascalDialect Dialect() const { return FDialect; }
  void SetDialect(TPascalDialect Value) { FDialect = Value; }

  /// Whether and how the modern dialect follows conditional compilation
  /// (see TConditionOptions); off by default. Code in a branch the
  /// compiler skips is then inactive code (heInactive), in every page
  /// format. Read when a run starts.
  const TConditionOptions &Conditions() const { return FConditions; }
  void SetConditions(const TConditionOptions &Value) { FConditions = Value; }

  /// The modern dialect's mode at the start of the text, and whether
  /// "{$mode ...}" in the text changes it (see TModeOptions): by default
  /// Delphi's reading, following the text's directives. With Free
  /// Pascal's conditionals (TCompilerTarget::FPC), a text whose mode is
  /// Delphi's reading starts in Free Pascal's default mode, FPC, instead.
  const TModeOptions &ModeOptions() const { return FModeOptions; }
  void SetModeOptions(const TModeOptions &Value) { FModeOptions = Value; }

  /// How runs may use the machine (see TScanOptions): the instruction set
  /// of the scanner's search and the sharing of large texts with a helper
  /// thread. No choice changes a page, its progress or Stop. Not to be
  /// changed during a run.
  const TScanOptions &ScanOptions() const { return FScanner.Options(); }
  void SetScanOptions(const TScanOptions &Value) { FScanner.SetOptions(Value); }

  /// The kind of page Convert writes and how it reads the source (see
  /// TPageOptions); the classic page by default. Not to be changed during
  /// a run.
  const TPageOptions &PageOptions() const { return FPageOptions; }
  void SetPageOptions(const TPageOptions &Value) { FPageOptions = Value; }

  /// Plain := the file's bytes. Throws EFOpenError ("Cannot open file
  /// NAME") or EReadError ("Stream read error"); Plain is then unchanged.
  void LoadFromFile(const std::string &FileName);
  /// Writes the page buffer to FileName. The target is replaced only once
  /// every byte is written, keeping an existing file's permissions, so a
  /// failed save leaves the previous file as it was. Throws EFCreateError
  /// ("Cannot create file NAME") or EWriteError ("Stream write error").
  void SaveToFile(const std::string &FileName) const;

  /// Builds the page for Plain in the page buffer. Returns true with the
  /// complete page, or false with an empty buffer when Stop was called
  /// during the run. Progress goes to OnProgress: 1, then strictly growing
  /// percentages after identifiers, then 100 (or 0 when stopped). Every run
  /// empties ElementStyle(heWhitespace) for good.
  bool Convert();
  /// Like Convert, but streams the page to Sink and leaves the page buffer
  /// empty. On false the sink has received part of a page: discard it.
  bool ConvertTo(TOutputSink &Sink);
  /// The same for Text instead of Plain, which stays as it is: for callers
  /// that hold the source elsewhere, such as a file mapped into memory.
  /// The byte after Text must be readable and NUL, as it is after a
  /// std::string's characters.
  bool ConvertTo(TOutputSink &Sink, std::string_view Text);
  /// Asks a running conversion to stop before its next token. Only the
  /// progress callback (or events it dispatches) may call it during a run;
  /// a Stop before Convert has no effect.
  void Stop() { FControl.Stop(); }

private:
  // Progress goes to OnProgress, with this converter as the sender.
  class TControl : public TScanControl {
  public:
    explicit TControl(TTessaline &Owner) : FOwner(Owner) {}
    bool WantsProgress() const override { return static_cast<bool>(FOwner.FOnProgress); }
    void ReportProgress(int32_t Percent) override;

  private:
    TTessaline &FOwner;
  };

  bool Run(std::string_view Bytes, TPageWriter &Writer);
  // The token stream of Bytes, following Conditions when not null; false
  // (with Writer emptied) when stopped.
  bool WriteTokens(std::string_view Bytes, TSourceEncoding Encoding, const TScheme &Scheme,
                   const TConditionOptions *Conditions, TPageWriter &Writer);
  // The body between header and footer, its text through Translator when
  // that is not null; false (with Writer emptied) when stopped.
  bool ScanBody(std::string_view Text, TMarkup &Markup, TPageWriter &Writer,
                const TConditionOptions *Conditions, const TTextTranslator *Translator = nullptr);

  TScheme FScheme;
  TPascalDialect FDialect = TPascalDialect::Classic;
  TConditionOptions FConditions;
  TModeOptions FModeOptions;
  std::string FTitle;
  std::string FAddHeader;
  std::string FAddBodyStart;
  std::string FAddBodyEnd;
  TParseProgressEvent FOnProgress;
  std::string FPlain;
  TByteBuffer FOutput;
  TPageOptions FPageOptions;
  TScanner FScanner;
  TControl FControl{*this};
};
