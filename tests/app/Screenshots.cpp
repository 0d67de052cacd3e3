// Saves a picture of each page of the main window, as a user sees it:
//   app_screenshots OUTPUT_DIR [FONT_FAMILY[:PIXELS] [PASCAL_FILE]]
// (with FONT_FAMILY, in that font at the design's size or at PIXELS; ""
// for the window's own, ":PIXELS" for it at that size; with PASCAL_FILE,
// also the preview of its page).
// Run it on a real display (scripts/screenshots starts one under Xvfb).
#include <QDir>
#include <QFile>
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
  if (argc > 2 && argv[2][0]) {
    const QStringList Parts = QString::fromLocal8Bit(argv[2]).split(':');
    QFont Font = Form1.font();
    if (!Parts[0].isEmpty())
      Font.setFamily(Parts[0]);
    Font.setPixelSize(Parts.size() > 1 ? Parts[1].toInt() : 11);
    Form1.setFont(Font);
  }
  Form1.show();
  auto Save = [&](const char *Name) {
    // Let the window manager and the paint events settle.
    QEventLoop Loop;
    QTimer::singleShot(500, &Loop, &QEventLoop::quit);
    Loop.exec();
    Form1.grab().save(Folder + QStringLiteral("/tessaline-%1.png").arg(Name));
  };
  const char *Names[] = {"files", "html-properties", "colors"};
  for (int Page = 0; Page < 3; ++Page) {
    Form1.Controls()->Pages->setCurrentIndex(Page);
    Save(Names[Page]);
  }
  // The colour editor after "Twilight" is chosen and "Comment" selected.
  Form1.Controls()->ColorSpeedSetting->setCurrentIndex(2);
  Form1.ColorSpeedSettingChange();
  Form1.Controls()->ElementList->setCurrentRow(1);
  Save("colors-twilight-comment");
  // The last element, in the modern dialect, whose sample shows it.
  Form1.Controls()->Dialect->setCurrentIndex(1);
  Form1.DialectChange();
  Form1.Controls()->ElementList->setCurrentRow(ElementCount - 1);
  Save("colors-modern-directive");
  if (argc > 3) {
    // The file converted (into the temporary folder), its page previewed.
    Form1.Controls()->Pages->setCurrentIndex(0);
    Form1.Controls()->Input->setText(QString::fromLocal8Bit(argv[3]));
    Form1.Controls()->Output->setText(QDir::temp().filePath("tessaline-preview.html"));
    Form1.Controls()->ConfirmOvr->setChecked(false);
    Form1.Controls()->ShowPreview->click();
    Form1.FileToFileClick();
    Save("preview");
    // The same as an HTML5 page with line numbers.
    Form1.Controls()->PageFormat->setCurrentText("HTML5");
    Form1.Controls()->LineNumbers->setChecked(true);
    Form1.FileToFileClick();
    Save("preview-html5");
    QFile::remove(QDir::temp().filePath("tessaline-preview.html"));
  }
  return 0;
}
