// Reads Windows' clipboard as other programs do (OpenClipboard,
// GetClipboardData) and checks what "Clip to clip" left there against the
// page the same source makes:
//   - CF_UNICODETEXT is the page's text (the page's bytes in the ANSI code
//     page, or in UTF-8 when it declares that charset);
//   - "HTML Format" has a header whose StartHTML, EndHTML, StartFragment and
//     EndFragment point exactly at the page in UTF-8 and at its body's
//     content between the fragment markers, byte by byte;
//   - "Rich Text Format" begins with {\rtf.
// Usage: clipboard_check PAGE_FILE. Prints each finding; exit status 0 when
// all hold, 1 otherwise. clipboard_check --set TEXT_FILE first puts the
// file's text (UTF-8) on the clipboard as CF_UNICODETEXT, as an editor would.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

namespace {

int Failures = 0;

void Check(bool Holds, const char *What, const std::string &Detail = {}) {
  std::printf("%s: %s%s%s\n", Holds ? "ok" : "FAIL", What, Detail.empty() ? "" : ": ",
              Detail.c_str());
  Failures += !Holds;
}

std::wstring Widen(const std::string &Bytes, UINT CodePage) {
  std::wstring Text(Bytes.size(), L'\0');
  const int N = MultiByteToWideChar(CodePage, 0, Bytes.data(), int(Bytes.size()), Text.data(),
                                    int(Text.size()));
  Text.resize(size_t(N < 0 ? 0 : N));
  return Text;
}

std::string Narrow(const std::wstring &Text) {
  std::string Bytes(Text.size() * 3, '\0');
  const int N = WideCharToMultiByte(CP_UTF8, 0, Text.data(), int(Text.size()), Bytes.data(),
                                    int(Bytes.size()), nullptr, nullptr);
  Bytes.resize(size_t(N < 0 ? 0 : N));
  return Bytes;
}

// The bytes of a clipboard format up to its first NUL (or its whole size).
std::string FormatBytes(UINT Format) {
  HANDLE Handle = GetClipboardData(Format);
  if (!Handle)
    return {};
  const char *Data = static_cast<const char *>(GlobalLock(Handle));
  std::string Bytes(Data, GlobalSize(Handle));
  GlobalUnlock(Handle);
  return Bytes.substr(0, Bytes.find('\0'));
}

// The number after "Name:" in the header, or -1.
long HeaderNumber(const std::string &Html, const std::string &Name) {
  const size_t At = Html.find(Name + ":");
  if (At == std::string::npos || At > Html.find('<'))
    return -1;
  return std::strtol(Html.c_str() + At + Name.size() + 1, nullptr, 10);
}

std::string ReadFile(const char *Name) {
  std::ifstream File(Name, std::ios::binary);
  return {std::istreambuf_iterator<char>(File), std::istreambuf_iterator<char>()};
}

int SetText(const char *Name) {
  const std::wstring Text = Widen(ReadFile(Name), CP_UTF8);
  HGLOBAL Handle = GlobalAlloc(GMEM_MOVEABLE, (Text.size() + 1) * sizeof(wchar_t));
  wchar_t *Data = static_cast<wchar_t *>(GlobalLock(Handle));
  std::copy(Text.c_str(), Text.c_str() + Text.size() + 1, Data);
  GlobalUnlock(Handle);
  if (!OpenClipboard(nullptr) || !EmptyClipboard() || !SetClipboardData(CF_UNICODETEXT, Handle)) {
    std::printf("FAIL: the text could not be put on the clipboard\n");
    return 1;
  }
  CloseClipboard();
  return 0;
}

} // namespace

int main(int argc, char **argv) {
  if (argc == 3 && std::string(argv[1]) == "--set")
    return SetText(argv[2]);
  if (argc != 2) {
    std::fprintf(stderr, "usage: clipboard_check [--set TEXT_FILE | PAGE_FILE]\n");
    return 2;
  }
  const std::string Page = ReadFile(argv[1]);
  const bool Utf8 = Page.substr(0, Page.find("</")).find("charset=") != std::string::npos &&
                    Page.find("utf-8") != std::string::npos;
  const std::wstring PageText = Widen(Page, Utf8 ? CP_UTF8 : CP_ACP);
  const std::string PageUtf8 = Narrow(PageText);
  if (!OpenClipboard(nullptr)) {
    std::printf("FAIL: the clipboard cannot be opened\n");
    return 1;
  }

  HANDLE Unicode = GetClipboardData(CF_UNICODETEXT);
  std::wstring Text;
  if (Unicode) {
    Text = static_cast<const wchar_t *>(GlobalLock(Unicode));
    GlobalUnlock(Unicode);
  }
  Check(Unicode != nullptr, "CF_UNICODETEXT is offered");
  Check(Text == PageText, "CF_UNICODETEXT is the page",
        std::to_string(Text.size()) + " characters, the page " + std::to_string(PageText.size()));

  const std::string Html = FormatBytes(RegisterClipboardFormatW(L"HTML Format"));
  Check(!Html.empty(), "\"HTML Format\" is offered");
  const long StartHtml = HeaderNumber(Html, "StartHTML"), EndHtml = HeaderNumber(Html, "EndHTML");
  const long StartFragment = HeaderNumber(Html, "StartFragment"),
             EndFragment = HeaderNumber(Html, "EndFragment");
  Check(0 < StartHtml && StartHtml <= StartFragment && StartFragment <= EndFragment &&
            EndFragment <= EndHtml && size_t(EndHtml) == Html.size(),
        "the header's offsets are in order and EndHTML is the end",
        std::to_string(StartHtml) + " " + std::to_string(StartFragment) + " " +
            std::to_string(EndFragment) + " " + std::to_string(EndHtml) + " of " +
            std::to_string(Html.size()));
  if (0 < StartHtml && StartHtml <= StartFragment && StartFragment <= EndFragment &&
      size_t(EndHtml) <= Html.size()) {
    const std::string Start = "<!--StartFragment-->", End = "<!--EndFragment-->";
    Check(Html.compare(size_t(StartFragment) - Start.size(), Start.size(), Start) == 0 &&
              Html.compare(size_t(EndFragment), End.size(), End) == 0,
          "StartFragment and EndFragment point just inside the fragment markers");
    // The page in UTF-8, its body's content between the markers.
    const size_t BodyTag = PageUtf8.find("<BODY");
    const size_t BodyStart = BodyTag == std::string::npos ? 0 : PageUtf8.find('>', BodyTag) + 1;
    size_t BodyEnd = PageUtf8.rfind("</BODY>");
    if (BodyStart == 0 || BodyEnd == std::string::npos || BodyEnd < BodyStart) {
      Check(false, "the page file is a classic page with a body");
      BodyEnd = BodyStart;
    }
    const std::string Fragment = Html.substr(size_t(StartFragment), size_t(EndFragment - StartFragment));
    Check(Fragment == PageUtf8.substr(BodyStart, BodyEnd - BodyStart),
          "the fragment is the body's content, byte by byte",
          std::to_string(Fragment.size()) + " bytes");
    Check(Html.substr(size_t(StartHtml), size_t(EndHtml - StartHtml)) ==
              PageUtf8.substr(0, BodyStart) + Start + PageUtf8.substr(BodyStart, BodyEnd - BodyStart) +
                  End + PageUtf8.substr(BodyEnd),
          "StartHTML to EndHTML is the whole page in UTF-8 with the markers");
  }

  const std::string Rtf = FormatBytes(RegisterClipboardFormatW(L"Rich Text Format"));
  Check(Rtf.rfind("{\\rtf", 0) == 0, "\"Rich Text Format\" begins with {\\rtf",
        Rtf.substr(0, 16));
  std::string Names;
  for (UINT Format = EnumClipboardFormats(0); Format; Format = EnumClipboardFormats(Format)) {
    wchar_t Name[128] = L"";
    if (GetClipboardFormatNameW(Format, Name, 128) > 0)
      Names += " \"" + Narrow(Name) + '"';
    else
      Names += ' ' + std::to_string(Format);
  }
  std::printf("formats offered:%s\n", Names.c_str());
  CloseClipboard();
  return Failures == 0 ? 0 : 1;
}
