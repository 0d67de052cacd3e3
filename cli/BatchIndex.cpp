// The index page of a batch: Folder/index.html listing the pages below it.
#include <algorithm>
#include <climits>
#include <map>
#include <ostream>
#include <set>

#include "Batch.h"
#include "ByteSearch.h"
#include "FileIO.h"
#include "FileKeys.h"
#include "Interrupt.h"
#include "Platform.h"
#include "PageWriter.h"
#include "SourceText.h"
#include "TextTranslator.h"
#include "TextUtils.h"

namespace {

// A file name as HTML text: the four entity characters escaped, bytes that
// are no UTF-8 as U+FFFD, since the index is a UTF-8 page, and characters
// HTML forbids (controls, C1 controls, noncharacters) shown as the HTML5
// pages show them; such a name made the index invalid. A name is bytes in
// the file system's encoding, never a source with a byte-order mark: a
// folder named FF FE ... is no UTF-16.
std::string NameAsHTML(const std::string &Name) {
  TSourceText Text;
  Text.Text = Name;
  Text.Form = IsValidUTF8(Name) ? TTextForm::UTF8 : TTextForm::UTF8Mended;
  const TTextTranslator Translator(TTextTarget::HTML5, Text.Form, Text.Text);
  TByteBuffer Buffer;
  TPageWriter Writer(Buffer, 0);
  struct TTextOut {
    TPageWriter &Writer;
    const TTextTranslator &Translator;
    void Put(const char *Data, size_t Size) { Translator.Put(Writer, Data, Size); }
    void Put(std::string_view Entity) { Writer.Put(Entity); }
  } Out{Writer, Translator};
  const char *Data = Text.Text.data();
  ByteSearch::PutEscaped(Out, Data, Text.Text.size(), Data + Text.Text.size());
  Writer.Finish();
  return std::string(Buffer.Data(), Buffer.Size());
}

// A relative path as a URL: every byte but the unreserved ones and "/"
// percent-encoded, so that "#", "?", "%" and blanks in names still link.
std::string PathAsURL(const std::string &Path) {
  static const char Digits[] = "0123456789ABCDEF";
  std::string Result;
  for (const char C : Path) {
    const auto B = static_cast<unsigned char>(C);
    if ((B >= 'A' && B <= 'Z') || (B >= 'a' && B <= 'z') || (B >= '0' && B <= '9') ||
        B == '-' || B == '.' || B == '_' || B == '~' || B == '/') {
      Result += C;
    } else {
      Result += '%';
      Result += Digits[B >> 4];
      Result += Digits[B & 15];
    }
  }
  return Result;
}

std::string SizeOf(const std::string &Path) {
  TFileInfo Info;
  if (!InfoOfPath(Path, Info))
    return "?";
  if (Info.Size <= INT32_MAX)
    return FormatByteSize(static_cast<int32_t>(Info.Size));
  return std::to_string(Info.Size) + " bytes";
}

// Folder without the separators it ends in ("d/" names the folder "d"),
// but a root stays one ("/", "C:\\").
std::string TrimmedFolder(const std::string &Folder) {
  std::string Base = Folder;
  while (Base.size() > 1 && IsPathSeparator(Base.back()) &&
         !(Base.size() == 3 && Base[1] == ':'))
    Base.pop_back();
  return Base;
}

// Path without its last component, as spelled there: "d/sub/" for
// "d/sub/a.html", "" for "a.html"; Name gets the component. False when no
// component is left ("/", "C:").
bool SplitLastName(const std::string &Path, std::string &Folder, std::string &Name) {
  size_t End = Path.size();
  while (End > 0 && IsPathSeparator(Path[End - 1]))
    --End;
  const std::string Trimmed = Path.substr(0, End);
  const size_t Start = FileNameStart(Trimmed);
  if (End == 0 || Start == Trimmed.size())
    return false;
  Name = Trimmed.substr(Start);
  Folder = Trimmed.substr(0, Start);
  return true;
}

// Where the pages of a batch lie relative to one folder. A page is below
// the folder when a folder on the way up from it is that very folder,
// however either is spelled ("d" and "./d", a link to it, "\" on Windows).
class TFolderPlaces {
public:
  explicit TFolderPlaces(const TFileInfo &Folder) : FFolder{Folder.Device, Folder.Index} {}
  /// Page's path below the folder, its components joined by "/"; false
  /// when it lies elsewhere.
  bool RelativePath(const std::string &Page, std::string &Relative) {
    Relative.clear();
    std::string Rest = Page, Folder, Name;
    while (SplitLastName(Rest, Folder, Name)) {
      Relative = Relative.empty() ? Name : Name + "/" + Relative;
      if (IsTheFolder(Folder.empty() ? std::string(".") : Folder))
        return true;
      if (Folder.empty())
        return false;
      Rest = Folder;
    }
    return false;
  }

private:
  bool IsTheFolder(const std::string &Path) {
    auto [Known, New] = FKnown.try_emplace(Path, false);
    TFileInfo Info;
    if (New && InfoOfPath(Path, Info))
      Known->second = Info.Kind == TFileKind::Folder && Info.Device == FFolder.first &&
                      Info.Index == FFolder.second;
    return Known->second;
  }

  std::pair<uint64_t, uint64_t> FFolder;
  std::map<std::string, bool> FKnown; // pages mostly share folders
};

// Refuses to write the index IndexName where it would destroy a file of
// the batch: a source (also through a hard or symbolic link), a page, or
// anything that is no regular file (a pipe would wait for a reader).
void CheckIndexPlace(const std::string &IndexName, const std::vector<TBatchJob> &Jobs) {
  TFileInfo Info;
  if (InfoOfPath(IndexName, Info) && Info.Kind != TFileKind::Regular)
    throw EFCreateError("Cannot create file " + IndexName + " (it is no regular file)");
  TFileKeys Keys;
  const TFileKey Index = Keys.Of(IndexName);
  for (const TBatchJob &Job : Jobs)
    if (Keys.Of(Job.Source) == Index)
      throw EStreamError("the index " + IndexName + " would replace the source " + Job.Source +
                         "; not written");
  for (const TBatchJob &Job : Jobs)
    if (Keys.Of(Job.Target) == Index)
      throw EStreamError("the index " + IndexName + " would replace the page of " + Job.Source +
                         "; not written");
}

} // namespace

void WriteBatchIndex(const std::string &Folder, const std::vector<TBatchJob> &Jobs,
                     const std::vector<char> &Pages) {
  const std::string Base = TrimmedFolder(Folder);
  const std::string IndexName = PathInFolder(Base, "index.html");
  CheckIndexPlace(IndexName, Jobs);
  TFileInfo FolderInfo;
  if (!InfoOfPath(Base, FolderInfo) || FolderInfo.Kind != TFileKind::Folder)
    throw EFCreateError("Cannot create file " + IndexName);
  TFolderPlaces Places(FolderInfo);
  // Pages by the folder they lie in, relative to Folder; the map sorts.
  struct TListed {
    const TBatchJob *Job;
    std::string Relative;
  };
  std::map<std::string, std::vector<TListed>> Folders;
  size_t Count = 0;
  std::string Relative;
  for (size_t K = 0; K < Jobs.size(); ++K) {
    if (!Pages[K] || !Places.RelativePath(Jobs[K].Target, Relative))
      continue;
    const size_t Slash = Relative.rfind('/');
    Folders[Slash == std::string::npos ? std::string() : Relative.substr(0, Slash)].push_back(
        {&Jobs[K], Relative});
    ++Count;
  }
  std::string Page = "<!DOCTYPE html>\n<html>\n<head>\n<meta charset=\"utf-8\">\n<title>Index of " +
                     NameAsHTML(Base) +
                     "</title>\n<meta name=\"generator\" content=\"Tessaline by Quorvander\">\n"
                     "<style>\nbody{font-family:sans-serif}\ntd{padding:0 1em 0 0}\n"
                     "td.size{text-align:right}\n</style>\n</head>\n<body>\n<h1>Index of " +
                     NameAsHTML(Base) + "</h1>\n<p>" + std::to_string(Count) +
                     (Count == 1 ? " page" : " pages") + "</p>\n";
  for (const auto &[Subfolder, InFolder] : Folders) {
    Page += "<h2>" + (Subfolder.empty() ? std::string(".") : NameAsHTML(Subfolder)) + "</h2>\n";
    Page += "<table>\n<tr><th>Page</th><th>Source</th><th>Source size</th><th>Page size</th></tr>\n";
    for (const auto &[Job, Path] : InFolder) {
      const std::string Name = Path.substr(Path.rfind('/') + 1);
      const std::string SourceName = Job->Source.substr(FileNameStart(Job->Source));
      Page += "<tr><td><a href=\"" + PathAsURL(Path) + "\">" + NameAsHTML(Name) +
              "</a></td><td>" + NameAsHTML(SourceName) + "</td><td class=\"size\">" +
              SizeOf(Job->Source) + "</td><td class=\"size\">" + SizeOf(Job->Target) +
              "</td></tr>\n";
    }
    Page += "</table>\n";
  }
  Page += "</body>\n</html>\n";
  TSafeFileWriter File(IndexName);
  File.Write(Page.data(), Page.size());
  // Checked last: an interrupt while the pages were listed and measured
  // (a large tree takes a while) leaves no index, as it leaves no page.
  if (InterruptSignal())
    throw EInterrupted();
  File.Commit();
}

int WriteBatchIndexes(const TCliOptions &Options, const std::vector<TBatchJob> &Jobs,
                      const std::vector<char> &Pages, std::ostream &Err) {
  int Status = 0;
  // One index for each folder however often, and however spelled, it is
  // given: a second would list no page, its own walk having been skipped.
  std::set<std::pair<uint64_t, uint64_t>> Written;
  for (const std::string &Input : Options.Files) {
    TFileInfo Info;
    if (!InfoOfPath(Input, Info) || Info.Kind != TFileKind::Folder ||
        !Written.insert({Info.Device, Info.Index}).second)
      continue;
    if (InterruptSignal())
      break;
    const std::string IndexName = PathInFolder(TrimmedFolder(Input), "index.html");
    TFileInfo Existing;
    if (Options.NoClobber && InfoOfPath(IndexName, Existing, false)) {
      if (!Options.Quiet)
        Err << "tessaline-cli: kept the existing " << IndexName << "\n";
      continue;
    }
    try {
      WriteBatchIndex(Input, Jobs, Pages);
    } catch (const EInterrupted &) {
      break;
    } catch (const EStreamError &Error) {
      Err << "tessaline-cli: " << Error.what() << "\n";
      Status = 1;
    }
  }
  if (const int Signal = InterruptSignal()) {
    Err << "tessaline-cli: interrupted\n";
    return 128 + Signal;
  }
  return Status;
}
