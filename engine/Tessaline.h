// TTessaline, the converter from Pascal source to one highlighted HTML page.
//
// A caller sets the page texts and Plain, runs Convert and reads HTML (or
// SaveToFile), or runs ConvertTo to stream the page elsewhere. Everything
// works on byte strings: no character set, byte-order mark or line end is
// ever converted, and the four page texts are inserted verbatim as HTML.
#pragma once

#include <cstddef>
#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>

#include "Types.h"

class TTessaline;
class TMarkup;
class TPageWriter;
class TScan;

/// Progress callback: Sender is the converter that runs, Percent 0..100.
using TParseProgressEvent = std::function<void(TTessaline &Sender, int32_t Percent)>;

/// File failures carry the messages users see, e.g. "Cannot open file x".
class EStreamError : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};
class EFOpenError : public EStreamError { // "Cannot open file %s"
public:
  using EStreamError::EStreamError;
};
class EFCreateError : public EStreamError { // "Cannot create file %s"
public:
  using EStreamError::EStreamError;
};
class EReadError : public EStreamError { // "Stream read error"
public:
  using EStreamError::EStreamError;
};
class EWriteError : public EStreamError { // "Stream write error"
public:
  using EStreamError::EStreamError;
};

/// Where ConvertTo streams a page. Write receives the page in order, in
/// blocks of any size; it may throw to abort the run.
class TOutputSink {
public:
  virtual ~TOutputSink() = default;
  virtual void Write(const char *Data, size_t Size) = 0;
};

/// A growable byte buffer that keeps its capacity when emptied, so repeated
/// runs on one converter do not allocate again. Large buffers are mapped
/// for huge pages where the system offers them.
class TByteBuffer {
public:
  TByteBuffer() = default;
  TByteBuffer(const TByteBuffer &) = delete;
  TByteBuffer &operator=(const TByteBuffer &) = delete;
  ~TByteBuffer();

  const char *Data() const { return FData; }
  size_t Size() const { return FSize; }
  void Clear() { FSize = 0; }
  /// Makes room for at least Capacity bytes; throws std::bad_alloc.
  void Reserve(size_t Capacity);

private:
  friend class TPageWriter;
  void Release();
  char *FData = nullptr;
  size_t FSize = 0;
  size_t FCapacity = 0;
  bool FMapped = false; // FData is a mapping of FCapacity bytes, not from malloc
};

class TTessaline {
public:
  /// A converter with the built-in scheme: navy italic comments, bold
  /// reserved words, blue strings, the rest in the page text colour (black)
  /// on white. Page texts and Plain are empty.
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
  TColor ElementColor(THighlightElement E) const { return FColors[E]; }
  void SetElementColor(THighlightElement E, TColor Value);
  /// When set, the element's tokens get no colour markup of their own.
  bool ElementDefault(THighlightElement E) const { return FDefaults[E]; }
  void SetElementDefault(THighlightElement E, bool Value) { FDefaults[E] = Value; }
  TFontStyles ElementStyle(THighlightElement E) const { return FStyles[E]; }
  void SetElementStyle(THighlightElement E, TFontStyles Value) { FStyles[E] = Value; }

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
  void Stop() { FCancel = true; }

private:
  friend class TScan;
  bool Run(TPageWriter &Writer);
  void ScanPlain(TMarkup &Markup, TPageWriter &Writer);
  void ReportProgress(int32_t Percent);

  TColor FColors[ElementCount];
  bool FDefaults[ElementCount];
  TFontStyles FStyles[ElementCount];
  std::string FTitle;
  std::string FAddHeader;
  std::string FAddBodyStart;
  std::string FAddBodyEnd;
  TParseProgressEvent FOnProgress;
  std::string FPlain;
  std::string_view FSource; // what a run converts: Plain, or the text given
  TByteBuffer FOutput;
  // The pages a helper thread builds of a large text's segments, kept
  // between runs like FOutput so that they are not faulted in anew.
  TByteBuffer FHelperPages[2];
  bool FCancel = false;
};
