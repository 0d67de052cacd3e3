// The output side of a conversion: appends bytes either to a growing page
// buffer or, in large blocks, to an output sink. Put is inlined and does one
// bounds check and a memcpy, so the scanner can append whole tokens at no
// per-token cost beyond the copy.
#pragma once

#include <cstdint>
#include <cstring>
#include <memory>
#include <string_view>

#include "Errors.h"
#include "TextTranslator.h"

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

class TPageWriter {
public:
  /// Appends to Buffer from its current end; Finish sets its size.
  TPageWriter(TByteBuffer &Buffer, size_t ExpectedSize);
  /// Streams to Sink; Finish hands over what is still pending.
  explicit TPageWriter(TOutputSink &Sink);
  TPageWriter(const TPageWriter &) = delete;
  TPageWriter &operator=(const TPageWriter &) = delete;
  ~TPageWriter();

  void Put(const char *Data, size_t Size) {
    if (Size <= static_cast<size_t>(FLimit - FCur)) {
      CopyBytes(FCur, Data, Size);
      FCur += Size;
    } else {
      PutSlow(Data, Size);
    }
  }
  void Put(std::string_view Text) { Put(Text.data(), Text.size()); }
  /// Room for Size bytes (at most 4096) at the end of the page, for a
  /// caller that builds its text in place and then takes what it used
  /// with Advance.
  char *Room(size_t Size) {
    if (Size > static_cast<size_t>(FLimit - FCur)) [[unlikely]]
      MakeRoom(Size);
    return FCur;
  }
  void Advance(size_t Used) { FCur += Used; }
  /// The same for Data in the process's own memory, never a mapped source
  /// (which may shrink under it): a large block goes to a sink uncopied.
  void PutOwned(const char *Data, size_t Size);
  /// The same, for Data from which PaddedRead bytes may be read whatever
  /// Size is: a short text is then copied whole, with no branch on its
  /// length.
  static constexpr size_t PaddedRead = 64;
  void PutPadded(const char *Data, size_t Size) {
    if (Size <= PaddedRead && static_cast<size_t>(FLimit - FCur) >= PaddedRead) {
      std::memcpy(FCur, Data, PaddedRead);
      FCur += Size;
    } else {
      Put(Data, Size);
    }
  }
  /// How the source's text is written (see PutText): as it is when null,
  /// else through Translator, which must outlive its use here.
  void SetTextTranslator(const TTextTranslator *Translator) { FText = Translator; }
  const TTextTranslator *TextTranslator() const { return FText; }
  /// Puts a piece of the source's text, translated as set above.
  void PutText(const char *Data, size_t Size) {
    if (FText) [[unlikely]]
      FText->Put(*this, Data, Size);
    else
      Put(Data, Size);
  }
  /// The line the text put next is on, for a translator that numbers
  /// lines (see TTextTranslator); 0 until set.
  uint64_t TextLine() const { return FTextLine; }
  void SetTextLine(uint64_t Value) { FTextLine = Value; }
  /// The opening text of the span open where the text put next goes, for
  /// a translator that reopens spans after line ends; empty until set.
  std::string_view OpenSpan() const { return FOpenSpan; }
  void SetOpenSpan(std::string_view Value) { FOpenSpan = Value; }
  /// Whether the page goes to a sink rather than into a buffer.
  bool Streaming() const { return FSink != nullptr; }
  /// Bytes put so far (buffer only): where the next Put lands, counted from
  /// the buffer's end at construction.
  size_t Written() const { return static_cast<size_t>(FCur - FBuffer->FData) - FStart; }
  /// Forgets everything written so far (buffer) or still pending (sink).
  void Discard();
  void Finish();

private:
  // Most tokens are a few bytes long: copying them with two overlapping
  // loads and stores saves a call to memcpy per token, and reads nothing
  // outside [From, From + Size).
  static void CopyBytes(char *To, const char *From, size_t Size) {
    if (Size >= 8 && Size <= 16) {
      uint64_t Head, Tail;
      std::memcpy(&Head, From, 8);
      std::memcpy(&Tail, From + Size - 8, 8);
      std::memcpy(To, &Head, 8);
      std::memcpy(To + Size - 8, &Tail, 8);
    } else if (Size >= 4 && Size < 8) {
      uint32_t Head, Tail;
      std::memcpy(&Head, From, 4);
      std::memcpy(&Tail, From + Size - 4, 4);
      std::memcpy(To, &Head, 4);
      std::memcpy(To + Size - 4, &Tail, 4);
    } else if (Size > 0 && Size < 4) {
      To[0] = From[0];
      To[Size / 2] = From[Size / 2];
      To[Size - 1] = From[Size - 1];
    } else if (Size > 16) {
      std::memcpy(To, From, Size);
    }
  }
  void PutSlow(const char *Data, size_t Size);
  void MakeRoom(size_t Size);

  char *FCur = nullptr;
  char *FLimit = nullptr;
  TByteBuffer *FBuffer = nullptr;
  size_t FStart = 0;
  TOutputSink *FSink = nullptr;
  std::unique_ptr<char[]> FBlock;
  const TTextTranslator *FText = nullptr;
  uint64_t FTextLine = 0;
  std::string_view FOpenSpan;
};
