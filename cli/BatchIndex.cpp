// The index page of a batch: Folder/index.html listing the pages below it.
#include <algorithm>
#include <climits>
#include <map>
#include <sys/stat.h>

#include "Batch.h"
#include "FileIO.h"
#include "SourceText.h"
#include "TextUtils.h"

namespace {

// A file name as HTML text: the four entity characters escaped, and bytes
// that are no UTF-8 as U+FFFD, since the index is a UTF-8 page.
std::string NameAsHTML(const std::string &Name) {
  TSourceText Text;
  DecodeSource(Name, TSourceEncoding::UTF8, Text);
  std::string Result;
  for (const char C : Text.Text) {
    switch (C) {
    case '&': Result += "&amp;"; break;
    case '<': Result += "&lt;"; break;
    case '>': Result += "&gt;"; break;
    case '"': Result += "&quot;"; break;
    default: Result += C;
    }
  }
  return Result;
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
  struct stat Info;
  if (::stat(Path.c_str(), &Info) != 0)
    return "?";
  if (Info.st_size <= INT32_MAX)
    return FormatByteSize(static_cast<int32_t>(Info.st_size));
  return std::to_string(Info.st_size) + " bytes";
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
