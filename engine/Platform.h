// The operating system as the file layer and the command-line tool see it:
// files, mappings, folders, interrupts and consoles, with one implementation
// per system (x-posix.cc, x-win32.cc) chosen by the build. Names are UTF-8
// byte strings everywhere; a system that wants another encoding converts at
// this edge. No function here throws: failures are results, and the callers
// turn them into the messages users see.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

/// An open file: a descriptor, or a Windows handle. NoFile when none.
using TFileHandle = intptr_t;
inline constexpr TFileHandle NoFile = -1;

enum class TFileKind { Regular, Folder, Link, Other };

/// What a name or an open file is. Device and Index together name the file
/// itself, whatever path leads to it (two names for one file give the same
/// pair); Mode, Owner and Group are the permissions a replacement keeps;
/// Links is the number of names the file has (hard links).
struct TFileInfo {
  TFileKind Kind = TFileKind::Other;
  uint64_t Size = 0;
  uint64_t Device = 0;
  uint64_t Index = 0;
  uint32_t Mode = 0;
  uint32_t Owner = 0;
  uint32_t Group = 0;
  uint32_t Links = 1;
};

/// Info for Path, following symbolic links (or for the link itself when
/// not FollowLinks). False when there is nothing there, or when the system
/// cannot tell (see LookUpPath).
bool InfoOfPath(const std::string &Path, TFileInfo &Info, bool FollowLinks = true);
/// What looking Path up found: a file (Info filled), nothing (no such
/// name, a link that leads nowhere or into a loop of links), or a failure
/// that hides whatever is there (a path longer than the system takes, a
/// folder on the way the user may not search, a failing device).
enum class TPathLookup { Found, Missing, Failed };
TPathLookup LookUpPath(const std::string &Path, TFileInfo &Info, bool FollowLinks = true);
/// Info for an open file.
bool InfoOfFile(TFileHandle File, TFileInfo &Info);
/// Whether Path and Other name one file.
bool IsSameFile(const std::string &Path, const std::string &Other);
/// Whether this process may write to the existing file Path, as opening it
/// for writing would decide: its permissions, its owner, a read-only file
/// system, a read-only attribute. Changes nothing.
bool MayWriteFile(const std::string &Path);

/// Opens Path for reading; NoFile on failure.
TFileHandle OpenForReading(const std::string &Path);
/// Opens an existing file for writing in place, emptying it: one that is no
/// regular file (a device, a pipe), or one that is not to be replaced;
/// NoFile on failure.
TFileHandle OpenForWritingInPlace(const std::string &Path);
/// Creates Path, which must not exist yet, for writing; AlreadyExists tells
/// why it failed when it did.
TFileHandle CreateExclusive(const std::string &Path, bool &AlreadyExists);
/// False when the system reports a failure closing it (a late write error).
bool CloseFile(TFileHandle File);

/// ReadSome's results besides a count of bytes (0 at the end).
inline constexpr ptrdiff_t ReadFailed = -1;
inline constexpr ptrdiff_t ReadInterrupted = -2; // by a signal; try again
ptrdiff_t ReadSome(TFileHandle File, char *Data, size_t Size);
/// Writes part of Data (retrying interruptions); the count, or -1.
ptrdiff_t WriteSome(TFileHandle File, const char *Data, size_t Size);
/// The handle behind a C runtime descriptor (0, 1, 2 or one opened by the
/// caller); NoFile when there is none.
TFileHandle HandleOfDescriptor(int Descriptor);

/// A file's bytes mapped read-only, followed by at least one NUL byte. A
/// mapping is guarded: should the file shrink under it, the bytes that are
/// gone read as NUL instead of ending the process, and Shrunk tells so.
struct TMappedFile {
  char *Base = nullptr;
  size_t Length = 0; // of the whole mapping
  int Guard = -1;
  intptr_t Section = 0; // what a system keeps for the mapping besides
};
/// Maps Size bytes of File; false (and nothing mapped) when it cannot, for
/// instance with every guard in use: the caller then reads the file.
bool MapFile(TFileHandle File, size_t Size, TMappedFile &Mapping);
void UnmapFile(TMappedFile &Mapping);
bool MappingShrunk(const TMappedFile &Mapping);

/// Anonymous read-write memory for a large page buffer: Size bytes (a
/// multiple of Alignment, a power of two) at an Alignment boundary, offered
/// huge pages. Null when there is none.
char *MapPages(size_t Size, size_t Alignment);
/// Moves the pages of a MapPages buffer to one of NewSize bytes, keeping
/// its content; null (the old buffer still there) when it cannot.
char *GrowPages(char *Data, size_t OldSize, size_t NewSize, size_t Alignment);
void UnmapPages(char *Data, size_t Size);
/// Asks for huge pages under the whole 2 MiB blocks within [Data, Data +
/// Size), memory nothing has touched yet: each then takes one fault
/// instead of 512. Only a hint; the bytes stay as they are.
void OfferHugePages(char *Data, size_t Size);

/// Whether C separates the components of a path ('/', and '\\' on Windows).
bool IsPathSeparator(char C);
/// The device the system puts in place of the file Path seems to name, in
/// upper case: on Windows, where CON, PRN, AUX, NUL, COM0 to COM9 and LPT0
/// to LPT9 name devices in every folder and whatever extension follows,
/// "COM1" for "com1.html" or "D:\\x\\Com1 .txt", a name no user means for
/// a file. Empty when there is none (always on POSIX), and for a device
/// asked for as such: its bare name ("NUL", as "/dev/null" elsewhere) or
/// its device path ("\\\\.\\COM1").
std::string DeviceNameOf(const std::string &Path);
/// Where a path's last component starts: after its last separator (or its
/// drive, where names have one).
size_t FileNameStart(const std::string &Path);
/// A file name as the system's file systems compare names within a folder:
/// unchanged on POSIX; in upper case on Windows, whose file systems do not
/// tell case apart ("a.html" and "A.html" name one file there).
std::string ComparableFileName(const std::string &Name);
/// Folder and Name joined with the system's separator (none added after one).
std::string PathInFolder(const std::string &Folder, const std::string &Name);
/// The file a symbolic link leads to, as an absolute path; Path itself
/// when it is no link or leads nowhere.
std::string ResolveLink(const std::string &Path);
/// Gives a new file the permissions (and, where allowed, the owner and
/// group) of the file it is to replace. False when it could not give all
/// of them: the new file would then change the file's owner or access.
bool CopyPermissions(TFileHandle File, const TFileInfo &Original);
/// Puts the file From in the place of To in one step, keeping what To's
/// replacement must keep; From is gone afterwards. False, with To as it
/// was and From still there, when it cannot.
bool ReplaceFileAtomically(const std::string &From, const std::string &To);
bool RemoveFile(const std::string &Path);
/// A number that tells this process from the others running.
unsigned long long ProcessNumber();

/// One entry of a folder: its name and, where the listing tells it cheaply,
/// its kind (Link when it is a link or the listing did not tell).
struct TFolderEntry {
  std::string Name;
  TFileKind Kind;
  bool operator<(const TFolderEntry &Other) const { return Name < Other.Name; }
};
/// The entries of Folder, without "." and "..", in no particular order.
bool ListFolder(const std::string &Folder, std::vector<TFolderEntry> &Entries);

/// Names a temporary file that a second interrupt, which ends the process
/// (see InstallInterruptHandler), removes first. Returns a ticket for
/// ReleaseTemporaryFile, or -1 when every place is taken (the file then
/// stays behind should the process be ended so).
int GuardTemporaryFile(const std::string &Path);
/// Forgets a file named by GuardTemporaryFile (a ticket of -1 is ignored),
/// before it is renamed or removed.
void ReleaseTemporaryFile(int Ticket);

/// Makes Ctrl-C (and the system's request to end, SIGTERM or closing the
/// console) call OnInterrupt with the signal's number (2 for Ctrl-C, 15 for
/// a request to end) instead of ending the process. OnInterrupt runs where
/// only lock-free atomics may be touched. A second interrupt removes the
/// files named by GuardTemporaryFile and ends the process the usual way,
/// should it be stuck. Reads from a terminal or a
/// pipe return ReadInterrupted when an interrupt arrives.
void InstallInterruptHandler(void (*OnInterrupt)(int Signal));

/// Whether Descriptor is a terminal or console.
bool IsTerminal(int Descriptor);
/// Makes the console on Descriptor understand the escape sequences a
/// progress bar draws with; false when it cannot.
bool EnableTerminalEscapes(int Descriptor);
/// Makes the standard streams pass bytes unchanged (no line-end or end-of-
/// file translation).
void UseBinaryStandardStreams();
/// The program's arguments after its name, as UTF-8.
std::vector<std::string> ProgramArguments(int Argc, char **Argv);
