#include "Application.h"

#include <QTimer>
#include <exception>

#include "Prompts.h"

TApplication::TApplication(int &argc, char **argv) : QApplication(argc, argv) {
  // The name only: a display name set here would be appended by Qt to
  // every window and box title ("Confirm — Tessaline").
  setApplicationName(ApplicationTitle);
}

bool TApplication::notify(QObject *Receiver, QEvent *Event) {
  // Handlers run inside event delivery; their failures (a file that cannot
  // be opened, a full disk) end the handler, are shown, and the program
  // goes on.
  try {
    return QApplication::notify(Receiver, Event);
  } catch (const std::exception &Error) {
    ShowErrorReport(QString::fromLocal8Bit(Error.what()));
  } catch (...) {
    ShowErrorReport(QStringLiteral("Unknown error"));
  }
  return false;
}

void ShowErrorReport(const QString &Message) {
  ShowPrompt(TPromptKind::Error, ApplicationTitle, Message);
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
