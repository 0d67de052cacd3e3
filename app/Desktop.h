// What the window asks of the desktop: open a document in the program the
// user chose for its type (a browser for pages), and the default beep.
#pragma once

#include <QString>

/// Opens FileName with its associated program; false when no program
/// could be started for it (on Linux: xdg-open is missing).
bool OpenDocument(const QString &FileName);
void Beep();
