#include "Application.h"

#include <QFile>
#include <QIcon>
#include <QTimer>
#include <exception>

#include "Prompts.h"

TApplication::TApplication(int &argc, char **argv) : QApplication(argc, argv) {
  // The name only: a display name set here would be appended by Qt to
  // every window and box title ("Confirm — Tessaline").
  setApplicationName(ApplicationTitle);
  // The launcher's name: desktops match the window to its menu entry and
  // icon by it.
  setDesktopFileName(QStringLiteral("com.quorvander.Tessaline"));
  setWindowIcon(QIcon::fromTheme(QStringLiteral("com.quorvander.Tessaline")));
}

bool TApplication::notify(QObject *Receiver, QEvent *Event) {
  // Handlers run inside event delivery; their failures (a file that cannot
  // be opened, a full disk) end the handler, are shown, and the program
  // goes on.
  try {
    return QApplication::notify(Receiver, Event);
  } catch (const std::exception &Error) {
    ShowErrorReport(ErrorText(Error));
  } catch (...) {
    ShowErrorReport(QStringLiteral("Unknown error"));
  }
  return false;
}

void ShowErrorReport(const QString &Message) {
  ShowPrompt(TPromptKind::Error, ApplicationTitle, Message);
}

// The window's names went through the system's ANSI code page on Windows,
// which the file layer read as UTF-8: a folder named "José" could not be
// opened, and its name was garbled in the message.
QString ErrorText(const std::exception &Error) {
#ifdef Q_OS_WIN
  return QString::fromUtf8(Error.what());
#else
  return QString::fromLocal8Bit(Error.what());
#endif
}

std::string FileNameBytes(const QString &FileName) {
#ifdef Q_OS_WIN
  return FileName.toUtf8().toStdString();
#else
  return QFile::encodeName(FileName).toStdString();
#endif
}

void PostQuitRequest() {
  // A modal box runs a loop of its own, and an exit taken there would close
  // the box unseen and never reach the main loop.
  QTimer::singleShot(0, qApp, [] {
    if (QApplication::activeModalWidget())
      QTimer::singleShot(50, qApp, &PostQuitRequest);
    else
      QCoreApplication::exit(0);
  });
}
