#include "PageWriter.h"

#include <cstdint>
#include <cstdlib>
#include <new>

#include "Platform.h"

namespace {
// Large enough that a sink's write call is rare next to the scanning work,
// small enough to stay in the cache while it fills.
constexpr size_t SinkBlockSize = 256 * 1024;

// Buffers from this size on are mapped in whole blocks of HugeBlock bytes
// at block boundaries and offered huge pages. A page is written once from
// end to end, and with small pages every 4 KiB of it is a fault of its
// own: on a virtual machine that takes longer than converting the text
// that fills it (some 10,000 faults for a 40 MB page, against one per
// block with huge pages).
constexpr size_t SmallestMapped = size_t(1) << 20;
constexpr size_t HugeBlock = size_t(2) << 20;

} // namespace

TByteBuffer::~TByteBuffer() { Release(); }

void TByteBuffer::Release() {
  if (FMapped)
    UnmapPages(FData, FCapacity);
  else
    std::free(FData);
}

void TByteBuffer::Reserve(size_t Capacity) {
  if (Capacity <= FCapacity)
    return;
  if (Capacity < SmallestMapped) {
    // realloc rather than new[]: nothing is zero-filled only to be
    // overwritten, and a block may grow in place.
    char *Data = static_cast<char *>(std::realloc(FData, Capacity));
    if (!Data)
      throw std::bad_alloc();
    FData = Data;
    FCapacity = Capacity;
    return;
  }
  const size_t Size = (Capacity + HugeBlock - 1) / HugeBlock * HugeBlock;
  if (FMapped) {
    char *Moved = GrowPages(FData, FCapacity, Size, HugeBlock);
    if (!Moved)
      throw std::bad_alloc();
    FData = Moved;
    FCapacity = Size;
    return;
  }
  char *Data = MapPages(Size, HugeBlock);
  if (!Data)
    throw std::bad_alloc();
  // All of the old capacity: a writer fills it before it sets the size.
  if (FCapacity > 0)
    std::memcpy(Data, FData, FCapacity);
  Release();
  FData = Data;
  FCapacity = Size;
  FMapped = true;
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

void TPageWriter::MakeRoom(size_t Size) {
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
  }
}

void TPageWriter::PutSlow(const char *Data, size_t Size) {
  if (FBuffer) {
    MakeRoom(Size);
  } else {
    FSink->Write(FBlock.get(), FCur - FBlock.get());
    FCur = FBlock.get();
    // A huge comment or string goes through the block too, in parts.
    // Handed to the system straight from a mapped source that has shrunk,
    // it would fail as a write (the address is refused); copied, the bytes
    // that are gone read as NULs and the caller reports a read error.
    while (Size > SinkBlockSize) {
      std::memcpy(FCur, Data, SinkBlockSize);
      FSink->Write(FCur, SinkBlockSize);
      Data += SinkBlockSize;
      Size -= SinkBlockSize;
    }
  }
  std::memcpy(FCur, Data, Size);
  FCur += Size;
}

void TPageWriter::PutOwned(const char *Data, size_t Size) {
  if (FBuffer || Size <= SinkBlockSize) {
    Put(Data, Size);
    return;
  }
  FSink->Write(FBlock.get(), FCur - FBlock.get());
  FCur = FBlock.get();
  FSink->Write(Data, Size);
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
