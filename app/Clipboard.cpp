#include "Clipboard.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <algorithm>
#ifdef Q_OS_WIN
#include <windows.h>
#endif

std::string TextBytes(const QString &Text, bool UTF8) {
  return (UTF8 ? Text.toUtf8() : Text.toLocal8Bit()).toStdString();
}

std::string ClipboardText(bool UTF8) {
  QString Text = QGuiApplication::clipboard()->text();
#ifdef Q_OS_WIN
  // Qt's Windows platform cuts the clipboard's CR LF line ends (Windows'
  // own, which the source had) to LF; the page would have had bare LFs
  // where "File to file" keeps CR LF. Other platforms hand the text as is.
  if (QGuiApplication::platformName() == QLatin1String("windows"))
    Text.replace('\n', QLatin1String("\r\n"));
#endif
  return TextBytes(Text, UTF8);
}

void SetClipboardText(const std::string &Text) {
  QGuiApplication::clipboard()->setText(
      QString::fromLocal8Bit(Text.data(), static_cast<qsizetype>(Text.size())));
}

QString PageText(std::string_view Page) {
  // Only the head is looked at: the source's own text may say anything.
  // The two spellings are the HTML5 page's and the classic page's.
  const size_t HeadEnd = std::min(Page.find("</head>"), Page.find("</HEAD>"));
  const std::string_view Head = Page.substr(0, HeadEnd);
  const auto Size = static_cast<qsizetype>(Page.size());
  if (Head.find("charset=\"utf-8\"") != std::string_view::npos ||
      Head.find("charset=utf-8") != std::string_view::npos)
    return QString::fromUtf8(Page.data(), Size); // on Windows not the locale's encoding
  return QString::fromLocal8Bit(Page.data(), Size);
}

#ifdef Q_OS_WIN
namespace {
// Windows programs look for RTF under the format "Rich Text Format". Qt 6.4
// registered the name "application/x-qt-windows-mime;value=..." as it
// stood, so no word processor ever found the RTF: it is added beside the
// formats Qt offers, as text that stays when the program ends.
void AddWindowsRtf(const std::string &Rtf) {
  HGLOBAL Handle = GlobalAlloc(GMEM_MOVEABLE, Rtf.size() + 1);
  if (!Handle)
    return;
  char *Bytes = static_cast<char *>(GlobalLock(Handle));
  std::copy(Rtf.begin(), Rtf.end(), Bytes);
  Bytes[Rtf.size()] = '\0';
  GlobalUnlock(Handle);
  if (!OpenClipboard(nullptr) ||
      !SetClipboardData(RegisterClipboardFormatW(L"Rich Text Format"), Handle))
    GlobalFree(Handle); // the clipboard did not take it
  CloseClipboard();
}

// Windows' "HTML Format" tells pasting programs where the fragment to paste
// lies. Left to Qt, the fragment was the whole document, and a program
// pasting it took the head's title as text above the code; the markers
// make it the body's content, which Qt then points the header at.
QString MarkedFragment(const QString &Page) {
  const qsizetype BodyTag = Page.indexOf(QLatin1String("<body"), 0, Qt::CaseInsensitive);
  const qsizetype Start = BodyTag < 0 ? -1 : Page.indexOf('>', BodyTag);
  const qsizetype End = Page.lastIndexOf(QLatin1String("</body>"), -1, Qt::CaseInsensitive);
  if (Start < 0 || End <= Start)
    return Page;
  return Page.left(Start + 1) + QLatin1String("<!--StartFragment-->") +
         Page.mid(Start + 1, End - Start - 1) + QLatin1String("<!--EndFragment-->") +
         Page.mid(End);
}
} // namespace
#endif

void SetClipboardPage(const std::string &Page, const std::string &Rtf) {
  auto *Data = new QMimeData;
  const QString Text = PageText(Page);
  Data->setText(Text);
#ifdef Q_OS_WIN
  Data->setHtml(MarkedFragment(Text)); // Qt offers it as "HTML Format"
#else
  Data->setHtml(Text);
#endif
  const QByteArray RtfBytes(Rtf.data(), static_cast<qsizetype>(Rtf.size()));
  Data->setData("text/rtf", RtfBytes);
  Data->setData("application/rtf", RtfBytes);
  QGuiApplication::clipboard()->setMimeData(Data); // the clipboard owns it from here
#ifdef Q_OS_WIN
  if (QGuiApplication::platformName() == QLatin1String("windows"))
    AddWindowsRtf(Rtf);
#endif
}
