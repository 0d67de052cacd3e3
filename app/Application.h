// The application object: it owns the message loop and the standard error
// report, which shows the message of any exception that a handler lets
// out, so that no exception crosses the event loop and the program goes on.
#pragma once

#include <QApplication>
#include <exception>
#include <string>

/// Caption of plain message boxes and of the task bar entry.
inline constexpr const char *ApplicationTitle = "Tessaline";

class TApplication : public QApplication {
public:
  TApplication(int &argc, char **argv);
  bool notify(QObject *Receiver, QEvent *Event) override;
};

/// The standard error report: a message box with Message.
void ShowErrorReport(const QString &Message);

/// The text of Error's message, whose file names are in the file layer's
/// encoding (see FileNameBytes).
QString ErrorText(const std::exception &Error);

/// FileName as the file layer takes it: UTF-8 on Windows, where the layer
/// widens names for the system's wide calls; the system's own bytes for
/// names elsewhere.
std::string FileNameBytes(const QString &FileName);

/// Asks the message loop to end. A box open now, or opened before the loop
/// runs (an error report), is answered first: the request waits until no
/// modal box is open, so the box is seen and the program still ends.
void PostQuitRequest();
