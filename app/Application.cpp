#include "Application.h"

#include <exception>

#include "Prompts.h"

TApplication::TApplication(int &argc, char **argv) : QApplication(argc, argv) {
  setApplicationName(ApplicationTitle);
  setApplicationDisplayName(ApplicationTitle);
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
