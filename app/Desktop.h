// What the window asks of the desktop: open a document in the program the
// user chose for its type (a browser for pages), and the default beep.
#pragma once

#include <QString>

/// Opens FileName with its associated program; a failure is not reported.
void OpenDocument(const QString &FileName);
void Beep();
