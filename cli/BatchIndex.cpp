// The index page of a batch: Folder/index.html listing the pages below it.
#include <algorithm>
#include <climits>
#include <map>

#include "Batch.h"
#include "ByteSearch.h"
#include "FileIO.h"
#include "Platform.h"
#include "PageWriter.h"
#include "SourceText.h"
#include "TextTranslator.h"
#include "TextUtils.h"

namespace {

// A file name as HTML text: the four entity characters escaped, bytes that
// are no UTF-8 as U+FFFD, since the index is a UTF-8 page, and characters
// HTML forbids (controls, C1 controls, noncharacters) shown as the HTML5
// pages show them; such a name made the index invalid.
std::string NameAsHTML(const std::string &Name) {
  TSourceText Text;
  TakeSource(Name, TSourceEncoding::UTF8, Text);
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

} // namespace

void WriteBatchIndex(const std::string &Folder, const std::vector<TBatchJob> &Jobs,
                     const std::vector<char> &Pages) {
  std::string Base = Folder;
  while (Base.size() > 1 && Base.back() == '/')
    Base.pop_back();
  const std::string Prefix = Base == "/" ? Base : Base + "/";
  const std::string IndexName = Prefix + "index.html";
  // Pages by the folder they lie in, relative to Folder; the map sorts.
  std::map<std::string, std::vector<const TBatchJob *>> Folders;
  size_t Count = 0;
  for (size_t K = 0; K < Jobs.size(); ++K) {
    const TBatchJob &Job = Jobs[K];
    if (!Pages[K] || Job.Target.compare(0, Prefix.size(), Prefix) != 0)
      continue;
    if (Job.Target == IndexName)
      throw EStreamError("the index would replace the page of " + Job.Source + "; not written");
    const std::string Relative = Job.Target.substr(Prefix.size());
    const size_t Slash = Relative.rfind('/');
    Folders[Slash == std::string::npos ? std::string() : Relative.substr(0, Slash)].push_back(&Job);
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
    for (const TBatchJob *Job : InFolder) {
      const std::string Relative = Job->Target.substr(Prefix.size());
      const std::string Name = Relative.substr(Relative.rfind('/') + 1);
      const size_t SourceSlash = Job->Source.rfind('/');
      const std::string SourceName =
          SourceSlash == std::string::npos ? Job->Source : Job->Source.substr(SourceSlash + 1);
      Page += "<tr><td><a href=\"" + PathAsURL(Relative) + "\">" + NameAsHTML(Name) +
              "</a></td><td>" + NameAsHTML(SourceName) + "</td><td class=\"size\">" +
              SizeOf(Job->Source) + "</td><td class=\"size\">" + SizeOf(Job->Target) +
              "</td></tr>\n";
    }
    Page += "</table>\n";
  }
  Page += "</body>\n</html>\n";
  TSafeFileWriter File(IndexName);
  File.Write(Page.data(), Page.size());
  File.Commit();
}
