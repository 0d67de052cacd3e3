// The settings store as a test prepares and inspects it, in the terms of an
// INI file on every system: on Linux the file itself, on Windows the
// registry key HKEY_CURRENT_USER\SOFTWARE\Quorvander\Tessaline, whose
// subkeys are the sections and whose REG_SZ values are the values.
#pragma once

#include <QByteArray>
#include <QString>

/// Replaces the stored settings with those of Ini, INI text: "[Section]"
/// and "Name=Value" lines, a value in double quotes being the text inside.
/// On Windows a value QSettings reads as no text in an INI file ("@Rect(...)",
/// "@Point(...)") becomes a REG_DWORD, which is no text in the registry
/// either; lines outside any section and values without a name are left
/// out, as the registry has no room for them.
void WriteStoredSettings(const QByteArray &Ini);
/// The value Section/Name as text, empty when missing.
QString StoredValue(const QString &Key);
/// Every stored section and value as QSettings writes an INI file of them:
/// sections and names sorted, texts with commas quoted, "(" and ")" escaped.
QString StoredSettingsText();
/// The name the program gives the store in its messages: the INI file's
/// name, or the registry key's path.
QString StoredSettingsName();
/// Makes the store refuse every write: a file where the settings folder
/// should be, or on Windows a key open for reading only.
void BlockStoredSettings();
