// The application object: it owns the message loop and the standard error
// report, which shows the message of any exception that a handler lets
// out, so that no exception crosses the event loop and the program goes on.
#pragma once

#include <QApplication>

/// Caption of plain message boxes and of the task bar entry.
inline constexpr const char *ApplicationTitle = "Tessaline";

class TApplication : public QApplication {
public:
  TApplication(int &argc, char **argv);
  bool notify(QObject *Receiver, QEvent *Event) override;
};

/// The standard error report: a message box with Message.
void ShowErrorReport(const QString &Message);

/// Asks the message loop to end. A box open now, or opened before the loop
/// runs (an error report), is answered first: the request waits until no
/// modal box is open, so the box is seen and the program still ends.
void PostQuitRequest();
