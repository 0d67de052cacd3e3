#include "Clipboard.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <algorithm>

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
#ifdef Q_OS_WIN
  // Windows programs look for RTF under its own clipboard format's name.
  Data->setData("application/x-qt-windows-mime;value=\"Rich Text Format\"", RtfBytes);
#endif
  QGuiApplication::clipboard()->setMimeData(Data); // the clipboard owns it from here
}
