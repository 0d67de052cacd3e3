#include "PageWriter.h"

#include <cstdlib>
#include <new>

namespace {
// Large enough that a sink's write call is rare next to the scanning work,
// small enough to stay in the cache while it fills.
constexpr size_t SinkBlockSize = 256 * 1024;
} // namespace

TByteBuffer::~TByteBuffer() { std::free(FData); }

void TByteBuffer::Reserve(size_t Capacity) {
  if (Capacity <= FCapacity)
    return;
  // realloc rather than new[]: large blocks can then grow in place, and
  // nothing is zero-filled only to be overwritten.
  char *Data = static_cast<char *>(std::realloc(FData, Capacity));
  if (!Data)
    throw std::bad_alloc();
  FData = Data;
  FCapacity = Capacity;
}

TPageWriter::TPageWriter(TByteBuffer &Buffer, size_t ExpectedSize)
    : FBuffer(&Buffer), FStart(Buffer.FSize) {
  Buffer.Reserve(Buffer.FSize + ExpectedSize);
  FCur = Buffer.FData + Buffer.FSize;
  FLimit = Buffer.FData + Buffer.FCapacity;
}

TPageWriter::TPageWriter(TOutputSink &Sink) : FSink(&Sink), FBlock(new char[SinkBlockSize]) {
  FCur = FBlock.get();
  FLimit = FCur + SinkBlockSize;
}

TPageWriter::~TPageWriter() = default;

void TPageWriter::PutSlow(const char *Data, size_t Size) {
  if (FBuffer) {
    const size_t Used = FCur - FBuffer->FData;
    size_t Capacity = FBuffer->FCapacity ? FBuffer->FCapacity : 4096;
    while (Capacity - Used < Size)
      Capacity *= 2;
    FBuffer->Reserve(Capacity);
    FCur = FBuffer->FData + Used;
    FLimit = FBuffer->FData + FBuffer->FCapacity;
  } else {
    FSink->Write(FBlock.get(), FCur - FBlock.get());
    FCur = FBlock.get();
    if (Size > SinkBlockSize) { // a huge comment: no point in copying it twice
      FSink->Write(Data, Size);
      return;
    }
  }
  std::memcpy(FCur, Data, Size);
  FCur += Size;
}

void TPageWriter::Discard() {
  if (FBuffer) {
    FBuffer->FSize = 0;
    FCur = FBuffer->FData;
  } else {
    FCur = FBlock.get();
  }
}

void TPageWriter::Finish() {
  if (FBuffer) {
    FBuffer->FSize = FCur - FBuffer->FData;
  } else if (FCur != FBlock.get()) {
    FSink->Write(FBlock.get(), FCur - FBlock.get());
    FCur = FBlock.get();
  }
}
