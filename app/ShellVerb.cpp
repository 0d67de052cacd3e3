#include "ShellVerb.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMimeDatabase>
#include <QProcess>
#include <QStandardPaths>

#include "FileIO.h"
#ifdef Q_OS_WIN
#include "ShellVerbWin32.h"
#endif

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

// File managers read a cache of which programs open which types.
void RefreshDesktopDatabase() {
  const QString Tool = QStandardPaths::findExecutable("update-desktop-database");
  if (!Tool.isEmpty())
    QProcess::execute(Tool, {QFileInfo(DesktopEntryPath()).absolutePath()});
}

} // namespace

QString PascalMimeType() {
  return QMimeDatabase().mimeTypeForFile("unit.pas", QMimeDatabase::MatchExtension).name();
}

QString DesktopEntryPath() { return DataHome() + "/applications/" + EntryName; }
QString ServiceMenuPath() { return DataHome() + "/kio/servicemenus/" + EntryName; }

#ifdef Q_OS_WIN

void RegisterShellVerb(const QString &Program) {
  RegisterExplorerVerb(QDir::toNativeSeparators(Program).toStdString());
}

void UnregisterShellVerb() { UnregisterExplorerVerb(); }

#else

void RegisterShellVerb(const QString &Program) {
  const QString Type = PascalMimeType();
  const QString Exec = ExecArgument(Program) + " %f";
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
                     Marker + "\n",
                 false);
  try {
    WriteWholeFile(ServiceMenuPath(),
                   "[Desktop Entry]\n"
                   "Type=Service\n"
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
    RemoveOurFile(DesktopEntryPath()); // both entries or neither
    throw;
  }
  RefreshDesktopDatabase();
}

void UnregisterShellVerb() {
  const bool Registered = QFile::exists(DesktopEntryPath());
  RemoveOurFile(DesktopEntryPath());
  RemoveOurFile(ServiceMenuPath());
  if (Registered)
    RefreshDesktopDatabase();
}

#endif
