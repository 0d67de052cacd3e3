// TRegIniFile: the program's settings as sections of text values.
//
// The settings key is configured in one place, SettingsKeyPath. On Windows
// it is HKEY_CURRENT_USER\SOFTWARE\Quorvander\Tessaline in the registry,
// sections being subkeys; elsewhere it is the INI file
// Quorvander/Tessaline.ini in the user's configuration folder
// ($XDG_CONFIG_HOME, by default ~/.config), sections being groups. Every
// value is written as text. Writes go to disk at once and replace the file
// whole, so a crash never leaves a damaged file.
#pragma once

#include <QSettings>
#include <QString>
#include <memory>

#include "SettingsKey.h" // SettingsKeyPath, ERegistryException

class TRegIniFile {
public:
  /// Opens the settings of KeyPath (a leading backslash is dropped).
  explicit TRegIniFile(const QString &KeyPath = SettingsKeyPath);
  ~TRegIniFile();

  /// The value's text, or Default when the section or value is missing. A
  /// text that holds commas and was written without quotes reads exactly as
  /// written, blanks around the commas included. Throws "Invalid data type
  /// for 'NAME'" for a value that is not text: in the Windows registry one
  /// of another type than REG_SZ or REG_EXPAND_SZ, in the INI file one that
  /// QSettings decodes as another type (such as "@Rect(1 2 3 4)") or cannot
  /// decode (a "@Variant(...)" of a type Qt does not know, of which Qt's own
  /// warning is not printed).
  QString ReadString(const QString &Section, const QString &Name, const QString &Default) const;
  /// The value read as an integer from text, or Default when it is missing
  /// or holds no integer.
  int32_t ReadInteger(const QString &Section, const QString &Name, int32_t Default) const;
  /// Writes the text, creating the section; throws "Failed to set data for
  /// 'NAME'" (or "Failed to create key SECTION" for a new section) when the
  /// settings cannot be stored.
  void WriteString(const QString &Section, const QString &Name, const QString &Value);
  void WriteInteger(const QString &Section, const QString &Name, int32_t Value);
  /// Writes "1" or "0".
  void WriteBool(const QString &Section, const QString &Name, bool Value);
  /// Removes the section with everything in it; a missing one is no error.
  void EraseSection(const QString &Section);
  /// Whether the section is there, also when it holds no value.
  bool SectionExists(const QString &Section) const;
  /// Whether the section holds a value of that name.
  bool ValueExists(const QString &Section, const QString &Name) const;
  /// How many values the section holds.
  int ValueCount(const QString &Section) const;
  /// Where the settings are kept: a file name, or a registry path such as
  /// HKEY_CURRENT_USER\SOFTWARE\Quorvander\Tessaline.
  QString FileName() const;

private:
  void Sync(const QString &Failure);
  std::unique_ptr<QSettings> FSettings;
};
