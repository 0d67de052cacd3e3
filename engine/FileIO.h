// Whole-file reading and failure-safe file writing for the converter and
// the tools built on it. Failures are EStreamError exceptions carrying the
// messages users see.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "Errors.h"
#include "PageWriter.h"
#include "Platform.h"

/// The file's bytes, read at once. Throws EFOpenError ("Cannot open file
/// NAME") when it cannot be opened or is a directory (or names a device, as
/// for TSourceFile), EReadError ("Stream
/// read error") when fewer bytes than its size can be read. Pipes and
/// devices are read to their end.
std::string ReadFileBytes(const std::string &FileName);

/// Everything left on the open Descriptor (standard input, a pipe), read
/// to its end. A read broken off by an interrupt is tried again after
/// OnInterrupted, when given, has been called: it may throw to end the
/// read. Throws EReadError ("Stream read error").
std::string ReadDescriptorBytes(int Descriptor,
                                const std::function<void()> &OnInterrupted = nullptr);

/// A file's bytes to convert. A regular file of SmallestMapped bytes or more
/// is mapped into memory, so that even a file larger than memory can be
/// converted, its pages coming in as they are read; a smaller one is read
/// with one read (should the mapping fail, so is a larger one, into huge
/// pages where the system offers them). Pipes and devices are read as by
/// ReadFileBytes. The byte after Text is readable and NUL. Should a mapped
/// file shrink while it is read, the bytes that are gone read as NUL
/// instead of ending the process, and Shrunk tells so afterwards: the
/// caller must then throw away what it made of Text. Throws EFOpenError
/// ("Cannot open file NAME"; "NAME names the device AUX, not a file" for a
/// name that stands for a device on the system and is no regular file) or
/// EReadError ("Stream read error", also for a file that shrinks while it
/// is read).
class TSourceFile {
public:
  static constexpr uint64_t SmallestMappedFile = uint64_t(1) << 20;
  explicit TSourceFile(const std::string &FileName, uint64_t SmallestMapped = SmallestMappedFile);
  TSourceFile(const TSourceFile &) = delete;
  TSourceFile &operator=(const TSourceFile &) = delete;
  ~TSourceFile();

  std::string_view Text() const { return FText; }
  bool Shrunk() const;

private:
  std::string_view FText;
  std::string FBytes;   // the bytes when the file is not mapped
  TMappedFile FMapping; // the file's pages, then NULs, when it is mapped
};

/// Writes a file so that a failure never damages what was there: the bytes
/// go to a hidden temporary file beside the target, which replaces the
/// target on Commit and is removed if Commit never comes (destruction,
/// an exception, or a second interrupt that ends the program: see
/// GuardTemporaryFile). A name that stands for a device on the system
/// (DeviceNameOf) is refused. An existing target keeps its permissions; a symbolic link
/// keeps pointing where it did and its target file is replaced. Targets
/// that are not regular files (/dev/null, a pipe) are written directly. A
/// folder that takes no new file cannot be saved into, even where the old
/// file itself is writable. An existing file that the user may not write
/// (read-only, or another user's) is not replaced: the save fails as
/// creating the file anew would. One whose owner a replacement could not
/// keep (another user's file that the user may write), or that has other
/// names (hard links), gets the complete bytes written into it on Commit,
/// as any program writing it would.
class TSafeFileWriter : public TOutputSink {
public:
  /// Throws EFCreateError ("Cannot create file NAME", or "NAME names the
  /// device COM1, not a file").
  explicit TSafeFileWriter(const std::string &FileName);
  TSafeFileWriter(const TSafeFileWriter &) = delete;
  TSafeFileWriter &operator=(const TSafeFileWriter &) = delete;
  ~TSafeFileWriter() override;

  /// Throws EWriteError ("Stream write error").
  void Write(const char *Data, size_t Size) override;
  /// Puts the written bytes in place of the target. Throws EWriteError when
  /// the data cannot be flushed, EFCreateError when the target cannot be
  /// replaced; the target is then unchanged (unless it is written into and
  /// that write fails).
  void Commit();
  /// Removes the temporary file now; the target stays as it was.
  void Abandon();

private:
  void CopyIntoTarget();

  std::string FFileName; // as the caller named it, for messages
  std::string FTarget;   // the file to replace (symbolic links resolved)
  std::string FTempName; // empty when writing the target directly
  int FTempGuard = -1;   // removes FTempName should a second interrupt end the program
  TFileHandle FFile = NoFile;
  bool FCopyIntoTarget = false; // on Commit, rather than replacing it
};

/// Writes to an open descriptor such as standard output; throws EWriteError.
class TDescriptorSink : public TOutputSink {
public:
  explicit TDescriptorSink(int Descriptor) : FDescriptor(Descriptor) {}
  void Write(const char *Data, size_t Size) override;

private:
  int FDescriptor;
};

/// Writes Size bytes to Descriptor, retrying short writes and EINTR;
/// throws EWriteError.
void WriteAll(int Descriptor, const char *Data, size_t Size);
