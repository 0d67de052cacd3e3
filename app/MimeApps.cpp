#include "MimeApps.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QMimeDatabase>
#include <QSaveFile>
#include <QSet>

namespace {

constexpr const char *DefaultGroup = "[Default Applications]";

QString EnvironmentOr(const char *Name, const QString &Default) {
  const QString Value = qEnvironmentVariable(Name);
  return Value.isEmpty() ? Default : Value;
}

QStringList FolderList(const char *Name, const QString &Default) {
  return EnvironmentOr(Name, Default).split(':', Qt::SkipEmptyParts);
}

// The lines of a key file, as they are.
QStringList LinesOf(const QString &FileName) {
  QFile File(FileName);
  if (!File.open(QIODevice::ReadOnly))
    return {};
  QString Text = QString::fromUtf8(File.readAll());
  if (Text.endsWith('\n'))
    Text.chop(1);
  return Text.isEmpty() ? QStringList() : Text.split('\n');
}

// The value of Key in Group of a key file's lines; a list value cut at ";".
QStringList ListValue(const QStringList &Lines, const QString &Group, const QString &Key) {
  bool InGroup = false;
  for (const QString &Line : Lines) {
    const QString Trimmed = Line.trimmed();
    if (Trimmed.startsWith('[')) {
      InGroup = Trimmed == Group;
    } else if (InGroup) {
      const qsizetype Equals = Trimmed.indexOf('=');
      if (Equals > 0 && Trimmed.left(Equals).trimmed() == Key)
        return Trimmed.mid(Equals + 1).trimmed().split(';', Qt::SkipEmptyParts);
    }
  }
  return {};
}

// Every installed desktop entry's id (applications/kde/x.desktop is
// "kde-x.desktop"); an id in an earlier folder hides the later ones, and a
// hidden entry hides its id altogether.
QSet<QString> InstalledEntries(const QStringList &DataFolders) {
  QSet<QString> Installed, Seen;
  for (const QString &Folder : DataFolders) {
    const QString Root = Folder + "/applications/";
    for (QDirIterator It(Root, {"*.desktop"}, QDir::Files, QDirIterator::Subdirectories);
         It.hasNext();) {
      const QString Path = It.next();
      const QString Id = Path.mid(Root.size()).replace('/', '-');
      if (Seen.contains(Id))
        continue;
      Seen.insert(Id);
      if (ListValue(LinesOf(Path), "[Desktop Entry]", "Hidden").value(0) != "true")
        Installed.insert(Id);
    }
  }
  return Installed;
}

// The type and the types it is a kind of, the nearest first.
QStringList TypeWithParents(const QString &MimeType) {
  QStringList Types{MimeType};
  const QMimeType Type = QMimeDatabase().mimeTypeForName(MimeType);
  if (Type.isValid())
    for (const QString &Parent : Type.allAncestors())
      if (Parent != "application/octet-stream") // every type is one
        Types << Parent;
  return Types;
}

bool WriteLines(const QString &FileName, const QStringList &Lines) {
  QDir().mkpath(QFileInfo(FileName).absolutePath());
  QSaveFile File(FileName);
  if (!File.open(QIODevice::WriteOnly))
    return false;
  File.write((Lines.join('\n') + '\n').toUtf8());
  return File.commit();
}

} // namespace

QString UserMimeAppsPath() {
  return EnvironmentOr("XDG_CONFIG_HOME", QDir::homePath() + "/.config") + "/mimeapps.list";
}

QString DefaultApplicationFor(const QString &MimeType, const QString &Ignored) {
  const QStringList ConfigFolders =
      QStringList{EnvironmentOr("XDG_CONFIG_HOME", QDir::homePath() + "/.config")} +
      FolderList("XDG_CONFIG_DIRS", "/etc/xdg");
  const QStringList DataFolders =
      QStringList{EnvironmentOr("XDG_DATA_HOME", QDir::homePath() + "/.local/share")} +
      FolderList("XDG_DATA_DIRS", "/usr/local/share:/usr/share");
  const QSet<QString> Entries = InstalledEntries(DataFolders);
  auto Usable = [&](const QString &Id) { return Id != Ignored && Entries.contains(Id); };
  // The places of mimeapps.list by priority: the user's configuration, the
  // user's data, then the system's configuration and data. The programs of
  // a data folder's applications count through its mimeinfo.cache, as GIO
  // reads them: an entry that no cache lists is associated with nothing.
  QStringList Places{ConfigFolders[0], DataFolders[0] + "/applications"};
  for (qsizetype K = 1; K < ConfigFolders.size(); ++K)
    Places << ConfigFolders[K];
  for (qsizetype K = 1; K < DataFolders.size(); ++K)
    Places << DataFolders[K] + "/applications";
  QList<QStringList> Lists, Caches;
  for (const QString &Place : Places) {
    Lists.append(LinesOf(Place + "/mimeapps.list"));
    Caches.append(LinesOf(Place + "/mimeinfo.cache")); // none in configuration folders
  }

  const QStringList Types = TypeWithParents(MimeType);
  // An explicit default for the type or any of its parents comes first.
  for (const QString &Type : Types)
    for (const QStringList &Lines : Lists)
      for (const QString &Id : ListValue(Lines, DefaultGroup, Type))
        if (Usable(Id))
          return Id;
  // Then the associations, place by place; a removed association hides the
  // program from that place on.
  for (const QString &Type : Types) {
    QSet<QString> Removed;
    for (qsizetype K = 0; K < Places.size(); ++K) {
      for (const QString &Id : ListValue(Lists[K], "[Removed Associations]", Type))
        Removed.insert(Id);
      for (const QString &Id : ListValue(Lists[K], "[Added Associations]", Type))
        if (Usable(Id) && !Removed.contains(Id))
          return Id;
      for (const QString &Id : ListValue(Caches[K], "[MIME Cache]", Type))
        if (Usable(Id) && !Removed.contains(Id))
          return Id;
    }
  }
  return QString();
}

bool UserHasDefaultFor(const QString &MimeType) {
  return !ListValue(LinesOf(UserMimeAppsPath()), DefaultGroup, MimeType).isEmpty();
}

TAddedDefault AddUserDefault(const QString &MimeType, const QString &Id) {
  TAddedDefault Added;
  Added.NewFile = !QFile::exists(UserMimeAppsPath());
  QStringList Lines = LinesOf(UserMimeAppsPath());
  const QString Line = MimeType + '=' + Id + ';';
  const qsizetype Group = Lines.indexOf(DefaultGroup);
  Added.NewGroup = Group < 0;
  if (Group < 0) {
    if (!Lines.isEmpty() && !Lines.last().trimmed().isEmpty())
      Lines << QString();
    Lines << DefaultGroup << Line;
  } else {
    Lines.insert(Group + 1, Line);
  }
  Added.Written = WriteLines(UserMimeAppsPath(), Lines);
  return Added;
}

void RemoveUserDefault(const QString &MimeType, const QString &Id, bool RemoveGroup,
                       bool RemoveFile) {
  QStringList Lines = LinesOf(UserMimeAppsPath());
  const qsizetype Group = Lines.indexOf(DefaultGroup);
  if (Group < 0)
    return;
  qsizetype End = Group + 1;
  while (End < Lines.size() && !Lines[End].trimmed().startsWith('['))
    ++End;
  const qsizetype At = Lines.indexOf(MimeType + '=' + Id + ';', Group + 1);
  if (At < 0 || At >= End)
    return; // changed since: the user's choice now
  Lines.removeAt(At);
  --End;
  bool Empty = true;
  for (qsizetype K = Group + 1; K < End; ++K)
    Empty = Empty && Lines[K].trimmed().isEmpty();
  if (Empty && RemoveGroup) {
    Lines.erase(Lines.begin() + Group, Lines.begin() + End);
    while (!Lines.isEmpty() && Lines.last().trimmed().isEmpty())
      Lines.removeLast();
  }
  if (Lines.isEmpty() && RemoveFile)
    QFile::remove(UserMimeAppsPath());
  else
    WriteLines(UserMimeAppsPath(), Lines);
}
