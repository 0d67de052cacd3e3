#include "Clipboard.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <algorithm>

std::string TextBytes(const QString &Text, bool UTF8) {
  return (UTF8 ? Text.toUtf8() : Text.toLocal8Bit()).toStdString();
}

std::string ClipboardText(bool UTF8) {
  return TextBytes(QGuiApplication::clipboard()->text(), UTF8);
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

void SetClipboardPage(const std::string &Page, const std::string &Rtf) {
  auto *Data = new QMimeData;
  const QString Text = PageText(Page);
  Data->setText(Text);
  Data->setHtml(Text); // Qt offers it as "HTML Format" on Windows
  const QByteArray RtfBytes(Rtf.data(), static_cast<qsizetype>(Rtf.size()));
  Data->setData("text/rtf", RtfBytes);
  Data->setData("application/rtf", RtfBytes);
#ifdef Q_OS_WIN
  // Windows programs look for RTF under its own clipboard format's name.
  Data->setData("application/x-qt-windows-mime;value=\"Rich Text Format\"", RtfBytes);
#endif
  QGuiApplication::clipboard()->setMimeData(Data); // the clipboard owns it from here
}
