#include "RegIniFile.h"

#include <QStringList>

#include "TextUtils.h"

namespace {

QString KeyOf(const QString &Section, const QString &Name) { return Section + '/' + Name; }

} // namespace

TRegIniFile::TRegIniFile(const QString &KeyPath) {
  QString Path = KeyPath.startsWith('\\') ? KeyPath.mid(1) : KeyPath;
#ifdef Q_OS_WIN
  FSettings = std::make_unique<QSettings>("HKEY_CURRENT_USER\\" + Path, QSettings::NativeFormat);
#else
  // SOFTWARE\Vendor\Program becomes Vendor/Program.ini in the user's
  // configuration folder.
  const QStringList Parts = Path.split('\\', Qt::SkipEmptyParts);
  const QString Program = Parts.isEmpty() ? QStringLiteral("Tessaline") : Parts.last();
  const QString Vendor = Parts.size() >= 2 ? Parts[Parts.size() - 2] : QString();
  FSettings =
      std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope, Vendor, Program);
#endif
}

TRegIniFile::~TRegIniFile() = default;

QString TRegIniFile::FileName() const { return FSettings->fileName(); }

QString TRegIniFile::ReadString(const QString &Section, const QString &Name,
                                const QString &Default) const {
  const QVariant Value = FSettings->value(KeyOf(Section, Name));
  if (!Value.isValid())
    return Default;
  switch (Value.typeId()) {
  case QMetaType::QString:
    return Value.toString().section(QChar(0), 0, 0); // text ends at a NUL
  case QMetaType::QStringList:
    // An INI value written by hand without quotes, like 16777215,0,,1,1,0,0,
    // comes back cut at its commas: join it again.
    return Value.toStringList().join(',');
  case QMetaType::QByteArray:
    return QString::fromLocal8Bit(Value.toByteArray());
  default:
    throw ERegistryException("Invalid data type for '" + Name.toStdString() + "'");
  }
}

bool TRegIniFile::ValueExists(const QString &Section, const QString &Name) const {
  return FSettings->contains(KeyOf(Section, Name));
}

int32_t TRegIniFile::ReadInteger(const QString &Section, const QString &Name,
                                 int32_t Default) const {
  const QString Text = ReadString(Section, Name, QString());
  if (!FSettings->contains(KeyOf(Section, Name)))
    return Default;
  return ParseIntegerOr(Text.toStdString(), Default);
}

void TRegIniFile::WriteString(const QString &Section, const QString &Name, const QString &Value) {
  const bool NewSection = !SectionExists(Section);
  FSettings->setValue(KeyOf(Section, Name), Value);
  Sync(NewSection ? "Failed to create key " + Section : "Failed to set data for '" + Name + "'");
}

void TRegIniFile::WriteInteger(const QString &Section, const QString &Name, int32_t Value) {
  WriteString(Section, Name, QString::number(Value));
}

void TRegIniFile::WriteBool(const QString &Section, const QString &Name, bool Value) {
  WriteString(Section, Name, Value ? "1" : "0");
}

void TRegIniFile::EraseSection(const QString &Section) {
  if (!SectionExists(Section))
    return;
  FSettings->remove(Section);
  Sync("Failed to create key " + Section);
}

bool TRegIniFile::SectionExists(const QString &Section) const {
  return FSettings->childGroups().contains(Section);
}

void TRegIniFile::Sync(const QString &Failure) {
  // QSettings reports a write that failed (a read-only folder, a full disk,
  // a file where a folder should be) only through its status after syncing.
  FSettings->sync();
  if (FSettings->status() != QSettings::NoError)
    throw ERegistryException(Failure.toStdString());
}

int TRegIniFile::ValueCount(const QString &Section) const {
  FSettings->beginGroup(Section);
  const int Count = static_cast<int>(FSettings->childKeys().size());
  FSettings->endGroup();
  return Count;
}
