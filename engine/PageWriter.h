// The output side of a conversion: appends bytes either to a growing page
// buffer or, in large blocks, to an output sink. Put is inlined and does one
// bounds check and a memcpy, so the scanner can append whole tokens at no
// per-token cost beyond the copy.
#pragma once

#include <cstring>
#include <memory>
#include <string_view>

#include "Tessaline.h"

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
      std::memcpy(FCur, Data, Size);
      FCur += Size;
    } else {
      PutSlow(Data, Size);
    }
  }
  void Put(std::string_view Text) { Put(Text.data(), Text.size()); }
  /// Forgets everything written so far (buffer) or still pending (sink).
  void Discard();
  void Finish();

private:
  void PutSlow(const char *Data, size_t Size);

  char *FCur = nullptr;
  char *FLimit = nullptr;
  TByteBuffer *FBuffer = nullptr;
  TOutputSink *FSink = nullptr;
  std::unique_ptr<char[]> FBlock;
};
