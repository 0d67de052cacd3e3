// Which program a freedesktop desktop (Linux) opens a file type with, and
// the user's explicit choice of it in mimeapps.list.
//
// The lookup follows the association rules as GIO applies them (GNOME,
// Xfce and most file managers): the "Default Applications" of every
// mimeapps.list, for the type and then for the types it is a kind of
// (text/plain for text/x-pascal); failing those, the "Added Associations"
// and the programs that each folder's mimeinfo.cache lists for the type,
// folder by folder, the user's first. (GIO learns which types a desktop
// entry handles from that cache only.) The folders are $XDG_CONFIG_HOME, $XDG_CONFIG_DIRS, $XDG_DATA_HOME
// and $XDG_DATA_DIRS with their usual defaults.
#pragma once

#include <QString>
#include <QStringList>

/// The desktop-file id ("org.gnome.TextEditor.desktop") of the program that
/// opens files of MimeType now, leaving Ignored out of the count; empty
/// when no installed program does.
QString DefaultApplicationFor(const QString &MimeType, const QString &Ignored = QString());

/// The user's own mimeapps.list: $XDG_CONFIG_HOME/mimeapps.list.
QString UserMimeAppsPath();

/// Whether the user's mimeapps.list names a default for MimeType.
bool UserHasDefaultFor(const QString &MimeType);

struct TAddedDefault {
  bool Written = false;  // false: the file could not be written
  bool NewGroup = false; // the "Default Applications" group was made for it
  bool NewFile = false;  // and the file too
};

/// Adds "MimeType=Id;" to the "Default Applications" of the user's
/// mimeapps.list, creating the group and the file as needed, and keeping
/// every other line as it was.
TAddedDefault AddUserDefault(const QString &MimeType, const QString &Id);

/// Takes back exactly the line AddUserDefault added, when it is still there
/// unchanged; the group goes too when it is left empty and RemoveGroup is
/// true, and the file when it is left empty and RemoveFile is true.
void RemoveUserDefault(const QString &MimeType, const QString &Id, bool RemoveGroup,
                       bool RemoveFile);
