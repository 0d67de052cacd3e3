#include "StoredSettings.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStringList>
#include <QTemporaryDir>

#include "RegIniFile.h"

#ifdef Q_OS_WIN
#include <windows.h>

namespace {
const wchar_t *const SettingsKey = L"SOFTWARE\\Quorvander\\Tessaline";

std::wstring Wide(const QString &Text) { return Text.toStdWString(); }
} // namespace

void WriteStoredSettings(const QByteArray &Ini) {
  RegDeleteTreeW(HKEY_CURRENT_USER, SettingsKey);
  HKEY Root = nullptr;
  RegCreateKeyExW(HKEY_CURRENT_USER, SettingsKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &Root,
                  nullptr);
  HKEY Section = nullptr;
  for (const QByteArray &RawLine : Ini.split('\n')) {
    const QString Line = QString::fromUtf8(RawLine).trimmed();
    if (Line.startsWith('[') && Line.endsWith(']')) {
      if (Section)
        RegCloseKey(Section);
      RegCreateKeyExW(Root, Wide(Line.mid(1, Line.size() - 2)).c_str(), 0, nullptr, 0,
                      KEY_ALL_ACCESS, nullptr, &Section, nullptr);
      continue;
    }
    const qsizetype Equals = Line.indexOf('=');
    if (!Section || Equals <= 0)
      continue;
    const std::wstring Name = Wide(Line.left(Equals).trimmed());
    QString Value = Line.mid(Equals + 1).trimmed();
    if (Value.size() >= 2 && Value.startsWith('"') && Value.endsWith('"'))
      Value = Value.mid(1, Value.size() - 2);
    if (Value.startsWith('@')) {
      const DWORD Number = 1;
      RegSetValueExW(Section, Name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE *>(&Number),
                     sizeof Number);
      continue;
    }
    const std::wstring Text = Wide(Value);
    RegSetValueExW(Section, Name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE *>(Text.c_str()),
                   DWORD((Text.size() + 1) * sizeof(wchar_t)));
  }
  if (Section)
    RegCloseKey(Section);
  RegCloseKey(Root);
}

QString StoredSettingsText() {
  // Each section's values written into an INI file of QSettings' own, so
  // that both systems compare the same text; the sections in the order
  // QSettings puts them in when it writes them one by one on Linux.
  QSettings Store("HKEY_CURRENT_USER\\" + QString::fromWCharArray(SettingsKey),
                  QSettings::NativeFormat);
  QStringList Sections = Store.childGroups();
  Sections.sort();
  QStringList Texts;
  for (const QString &Section : Sections) {
    QTemporaryDir Folder;
    const QString FileName = Folder.filePath("section.ini");
    {
      QSettings Dump(FileName, QSettings::IniFormat);
      Store.beginGroup(Section);
      for (const QString &Key : Store.childKeys())
        Dump.setValue(Section + '/' + Key, Store.value(Key));
      Store.endGroup();
    }
    QFile File(FileName);
    File.open(QIODevice::ReadOnly);
    Texts << QString::fromUtf8(File.readAll()).replace("\r\n", "\n");
  }
  return Texts.join('\n');
}

void BlockStoredSettings() {
  // HKEY_CURRENT_USER stands for a key that is deleted while open: nothing
  // can be created or written below it. (A key opened for reading only
  // would do on Windows, but Wine lets such a handle write.)
  HKEY Gone = nullptr;
  RegCreateKeyExW(HKEY_CURRENT_USER, L"Blocked", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &Gone,
                  nullptr);
  RegDeleteKeyW(HKEY_CURRENT_USER, L"Blocked");
  RegOverridePredefKey(HKEY_CURRENT_USER, Gone);
  RegCloseKey(Gone);
}

#else

void WriteStoredSettings(const QByteArray &Ini) {
  const QString Name = TRegIniFile().FileName();
  QDir().mkpath(QFileInfo(Name).absolutePath());
  QFile File(Name);
  File.open(QIODevice::WriteOnly | QIODevice::Truncate);
  File.write(Ini);
}

QString StoredSettingsText() {
  QFile File(TRegIniFile().FileName());
  File.open(QIODevice::ReadOnly);
  return QString::fromUtf8(File.readAll());
}

void BlockStoredSettings() {
  const QString Folder = QFileInfo(TRegIniFile().FileName()).absolutePath();
  QDir().mkpath(QFileInfo(Folder).absolutePath());
  QFile Blocker(Folder);
  Blocker.open(QIODevice::WriteOnly);
}

#endif

QString StoredValue(const QString &Key) {
  return TRegIniFile().ReadString(Key.section('/', 0, 0), Key.section('/', 1), QString());
}

QString StoredSettingsName() {
#ifdef Q_OS_WIN
  return "HKEY_CURRENT_USER\\SOFTWARE\\Quorvander\\Tessaline";
#else
  return TRegIniFile().FileName();
#endif
}
