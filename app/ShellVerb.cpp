#include "ShellVerb.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMimeDatabase>
#include <QProcess>
#include <QSettings>
#include <QStandardPaths>

#include "FileIO.h"
#include "MimeApps.h"

namespace {

// Set in every file we write, so that removing never takes a file of the
// same name that someone else made.
constexpr const char *Marker = "X-Tessaline-Verb=true";
constexpr const char *EntryName = "tessaline-convert.desktop";

QString DataHome() {
  const QString Home = qEnvironmentVariable("XDG_DATA_HOME");
  return Home.isEmpty() ? QDir::homePath() + "/.local/share" : Home;
}

// One argument of an Exec key: quoted, with the characters that are
// special inside quotes escaped, then escaped once more as a string value,
// and "%" doubled so it is no field code.
QString ExecArgument(const QString &Argument) {
  QString Quoted;
  for (const QChar C : Argument) {
    if (C == '"' || C == '`' || C == '$' || C == '\\')
      Quoted += '\\';
    Quoted += C;
  }
  Quoted.replace('\\', QStringLiteral("\\\\")).replace('%', QStringLiteral("%%"));
  return '"' + Quoted + '"';
}

void WriteWholeFile(const QString &FileName, const QString &Text, bool Executable) {
  const std::string Name = QFile::encodeName(FileName).toStdString();
  if (!QDir().mkpath(QFileInfo(FileName).absolutePath()))
    throw EFCreateError("Cannot create file " + Name);
  const QByteArray Bytes = Text.toUtf8();
  try {
    TSafeFileWriter File(Name);
    File.Write(Bytes.constData(), static_cast<size_t>(Bytes.size()));
    File.Commit();
  } catch (const EWriteError &) {
    throw EWriteError("Cannot write file " + Name); // say which file
  }
  if (Executable &&
      !QFile::setPermissions(FileName, QFile::permissions(FileName) | QFile::ExeOwner |
                                           QFile::ExeGroup | QFile::ExeOther)) {
    QFile::remove(FileName);
    throw EFCreateError("Cannot create file " + Name);
  }
}

void RemoveOurFile(const QString &FileName) {
  QFile File(FileName);
  if (File.open(QIODevice::ReadOnly) && File.readAll().contains(Marker)) {
    File.close();
    File.remove();
  }
}

QString CachePath() { return QFileInfo(DesktopEntryPath()).absolutePath() + "/mimeinfo.cache"; }

// GIO, the desktop's lookup of most file managers, learns which types an
// entry opens from the folder's mimeinfo.cache only: without it the entry
// would be missing from "Open With".
void RefreshDesktopDatabase() {
  const QString Tool = QStandardPaths::findExecutable("update-desktop-database");
  if (!Tool.isEmpty())
    QProcess::execute(Tool, {QFileInfo(CachePath()).absolutePath()});
}

// A cache that lists no program any more.
bool CacheIsEmpty() {
  QFile File(CachePath());
  if (!File.open(QIODevice::ReadOnly))
    return false;
  for (const QByteArray &Line : File.readAll().split('\n'))
    if (Line.contains('='))
      return false;
  return true;
}

// The folders below the data folder that a registration may create,
// the deepest last.
const char *const OurFolders[] = {"applications", "kio", "kio/servicemenus"};

// What a registration did besides writing its two files, kept in its
// desktop entry so that removing it takes back exactly that.
struct TRecord {
  QString Pinned;      // the default it wrote into the user's mimeapps.list
  QStringList Made;    // "group", "file": made for that default; "cache": mimeinfo.cache
  QStringList Created; // folders of OurFolders it made
};

TRecord ReadRecord() {
  TRecord Record;
  QFile File(DesktopEntryPath());
  if (!File.open(QIODevice::ReadOnly))
    return Record;
  const QString Text = QString::fromUtf8(File.readAll());
  if (!Text.contains(Marker))
    return Record;
  for (const QString &Line : Text.split('\n')) {
    const QString Value = Line.section('=', 1);
    if (Line.startsWith("X-Tessaline-Default="))
      Record.Pinned = Value;
    else if (Line.startsWith("X-Tessaline-Made="))
      Record.Made = Value.split(';', Qt::SkipEmptyParts);
    else if (Line.startsWith("X-Tessaline-Folders="))
      Record.Created = Value.split(';', Qt::SkipEmptyParts);
  }
  return Record;
}

QString RecordLines(const TRecord &Record) {
  QString Lines;
  if (!Record.Pinned.isEmpty())
    Lines += "X-Tessaline-Default=" + Record.Pinned + "\n";
  if (!Record.Made.isEmpty())
    Lines += "X-Tessaline-Made=" + Record.Made.join(';') + ";\n";
  if (!Record.Created.isEmpty())
    Lines += "X-Tessaline-Folders=" + Record.Created.join(';') + ";\n";
  return Lines;
}

// After our entries are gone.
void TakeBack(const TRecord &Record, const QString &Type) {
  if (QFile::exists(CachePath()))
    RefreshDesktopDatabase();
  if (Record.Made.contains("cache") && CacheIsEmpty())
    QFile::remove(CachePath());
  if (!Record.Pinned.isEmpty())
    RemoveUserDefault(Type, Record.Pinned, Record.Made.contains("group"),
                      Record.Made.contains("file"));
  for (int K = std::size(OurFolders) - 1; K >= 0; --K)
    if (Record.Created.contains(OurFolders[K]))
      QDir(DataHome()).rmdir(OurFolders[K]); // only when empty
}

} // namespace

QString PascalMimeType() {
  return QMimeDatabase().mimeTypeForFile("unit.pas", QMimeDatabase::MatchExtension).name();
}

QString DesktopEntryPath() { return DataHome() + "/applications/" + EntryName; }
QString ServiceMenuPath() { return DataHome() + "/kio/servicemenus/" + EntryName; }

#ifdef Q_OS_WIN

void RegisterShellVerb(const QString &Program) {
  QSettings Root("HKEY_CLASSES_ROOT", QSettings::NativeFormat);
  const QString Type = Root.value(".pas/Default").toString();
  Root.setValue(Type + "/Shell/Tessaline/command/Default",
                QDir::toNativeSeparators(Program) + " \"%1\"");
  Root.sync();
  if (Root.status() != QSettings::NoError)
    throw EStreamError("Failed to set data for ''");
}

void UnregisterShellVerb() {
  QSettings Root("HKEY_CLASSES_ROOT", QSettings::NativeFormat);
  const QString Type = Root.value(".pas/Default").toString();
  if (!Type.isEmpty())
    Root.remove(Type + "/Shell/Tessaline");
}

#else

void RegisterShellVerb(const QString &Program) {
  const QString Type = PascalMimeType();
  const QString Exec = ExecArgument(Program) + " %f";
  // Registering again keeps what the first registration made.
  TRecord Record = ReadRecord();
  for (const char *Folder : OurFolders)
    if (!QDir(DataHome()).exists(Folder) && !Record.Created.contains(Folder))
      Record.Created << Folder;
  // A desktop entry that lists the type is offered in "Open With", but
  // where the user never chose a program for the type, the desktop picks
  // the first entry that lists it, the user's own first: this one. So the
  // program that opens the type now becomes the user's explicit choice,
  // before the entry is there.
  if (!QFile::exists(CachePath()) && !Record.Made.contains("cache"))
    Record.Made << "cache";
  if (Record.Pinned.isEmpty() && !UserHasDefaultFor(Type)) {
    const QString Current = DefaultApplicationFor(Type, EntryName);
    if (!Current.isEmpty()) {
      const TAddedDefault Added = AddUserDefault(Type, Current);
      if (!Added.Written)
        throw EFCreateError("Cannot create file " +
                            QFile::encodeName(UserMimeAppsPath()).toStdString());
      Record.Pinned = Current;
      if (Added.NewGroup)
        Record.Made << "group";
      if (Added.NewFile)
        Record.Made << "file";
    }
  }
  try {
    WriteWholeFile(DesktopEntryPath(),
                   "[Desktop Entry]\n"
                   "Type=Application\n"
                   "Name=Tessaline\n"
                   "Comment=Convert Pascal source to a highlighted HTML page\n"
                   "Exec=" +
                       Exec +
                       "\n"
                       "MimeType=" +
                       Type +
                       ";\n"
                       "Icon=text-html\n"
                       "Terminal=false\n"
                       "NoDisplay=true\n" +
                       Marker + "\n" + RecordLines(Record),
                   false);
    WriteWholeFile(ServiceMenuPath(),
                   "[Desktop Entry]\n"
                   "Type=Service\n"
                   "Name=Tessaline\n"
                   "X-KDE-ServiceTypes=KonqPopupMenu/Plugin\n"
                   "MimeType=" +
                       Type +
                       ";\n"
                       "Actions=tessaline;\n" +
                       Marker +
                       "\n"
                       "\n"
                       "[Desktop Action tessaline]\n"
                       "Name=Tessaline\n"
                       "Icon=text-html\n"
                       "Exec=" +
                       Exec + "\n",
                   true);
  } catch (...) {
    // Both entries or neither, and nothing else of ours left.
    RemoveOurFile(DesktopEntryPath());
    TakeBack(Record, Type);
    throw;
  }
  RefreshDesktopDatabase();
}

void UnregisterShellVerb() {
  const TRecord Record = ReadRecord();
  RemoveOurFile(DesktopEntryPath());
  RemoveOurFile(ServiceMenuPath());
  TakeBack(Record, PascalMimeType());
}

#endif
