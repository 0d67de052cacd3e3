#include "Clipboard.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

std::string ClipboardText() {
  return QGuiApplication::clipboard()->text().toLocal8Bit().toStdString();
}

void SetClipboardText(const std::string &Text) {
  QGuiApplication::clipboard()->setText(
      QString::fromLocal8Bit(Text.data(), static_cast<qsizetype>(Text.size())));
}

void SetClipboardPage(const std::string &Page, const std::string &Rtf) {
  auto *Data = new QMimeData;
  const QString Text = QString::fromLocal8Bit(Page.data(), static_cast<qsizetype>(Page.size()));
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
