#include "Desktop.h"

#include <QApplication>
#include <QDesktopServices>
#include <QUrl>

bool OpenDocument(const QString &FileName) {
  return QDesktopServices::openUrl(QUrl::fromLocalFile(FileName));
}

void Beep() { QApplication::beep(); }
