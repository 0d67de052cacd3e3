#include "Desktop.h"

#include <QApplication>
#include <QDesktopServices>
#include <QUrl>

void OpenDocument(const QString &FileName) {
  QDesktopServices::openUrl(QUrl::fromLocalFile(FileName));
}

void Beep() { QApplication::beep(); }
