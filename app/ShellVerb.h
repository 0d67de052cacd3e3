// The "Tessaline" verb in the file manager's context menu of Pascal
// sources: it runs the program with the chosen file as its one argument,
// which converts the file to a page beside it.
//
// On freedesktop systems (Linux) the verb is two files under the user's
// data folder ($XDG_DATA_HOME, by default ~/.local/share): a desktop entry
// in applications/ for "Open With" (listed in that folder's mimeinfo.cache,
// where GIO looks), and a KDE service menu in kio/servicemenus/ for
// Dolphin's context menu. Tessaline never becomes the default program for
// the type: where the user has not chosen one in mimeapps.list, the program
// that opens Pascal files before registering is written there as the
// user's choice. The desktop entry records what else registering made (that
// line, mimeinfo.cache, folders), and removing takes back exactly that. On
// Windows the verb is the registry key
// HKEY_CLASSES_ROOT\<type of .pas>\Shell\Tessaline\command.
#pragma once

#include <QString>

/// The MIME type that a ".pas" file name has ("text/x-pascal").
QString PascalMimeType();
/// Where the two files go.
QString DesktopEntryPath();
QString ServiceMenuPath();

/// Adds the verb for Program (a full path). Registering again, or after the
/// program moved, replaces the entries, so they run Program. Throws
/// EStreamError naming the file that could not be written; no entry is then
/// left half-written.
void RegisterShellVerb(const QString &Program);
/// Removes what RegisterShellVerb added and nothing else; nothing there is
/// no error.
void UnregisterShellVerb();
