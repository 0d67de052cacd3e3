#include "Clipboard.h"

#include <QClipboard>
#include <QGuiApplication>

std::string ClipboardText() {
  return QGuiApplication::clipboard()->text().toLocal8Bit().toStdString();
}

void SetClipboardText(const std::string &Text) {
  QGuiApplication::clipboard()->setText(
      QString::fromLocal8Bit(Text.data(), static_cast<qsizetype>(Text.size())));
}
