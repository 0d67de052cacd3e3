// Saves a picture of each page of the main window, as a user sees it:
//   app_screenshots OUTPUT_DIR
// Run it on a real display (scripts/screenshots starts one under Xvfb).
#include <QDir>
#include <QPixmap>
#include <QScreen>
#include <QTabWidget>
#include <QTimer>

#include "Application.h"
#include "MainForm.h"
#include "ui_MainForm.h"

int main(int argc, char **argv) {
  TApplication Application(argc, argv);
  const QString Folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(".");
  QDir().mkpath(Folder);
  TForm1 Form1;
  Form1.show();
  const char *Names[] = {"files", "html-properties", "colors"};
  for (int Page = 0; Page < 3; ++Page) {
    Form1.Controls()->Pages->setCurrentIndex(Page);
    // Let the window manager and the paint events settle.
    for (int K = 0; K < 20; ++K) {
      QTimer Wait;
      QEventLoop Loop;
      QTimer::singleShot(25, &Loop, &QEventLoop::quit);
      Loop.exec();
    }
    Form1.grab().save(Folder + QStringLiteral("/tessaline-%1.png").arg(Names[Page]));
  }
  return 0;
}
