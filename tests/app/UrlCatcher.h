// Catches the "open this file" requests the window makes, instead of a
// browser opening.
#pragma once

#include <QDesktopServices>
#include <QObject>
#include <QUrl>
#include <vector>

class TUrlCatcher : public QObject {
  Q_OBJECT
public:
  TUrlCatcher() { QDesktopServices::setUrlHandler("file", this, "Open"); }
  ~TUrlCatcher() override { QDesktopServices::unsetUrlHandler("file"); }
  std::vector<QUrl> Opened;

public slots:
  void Open(const QUrl &Url) { Opened.push_back(Url); }
};
