#include "RegIniFile.h"

#include <QFile>
#include <QStringList>
#include <mutex>
#include <optional>

#include "TextUtils.h"

namespace {

QString KeyOf(const QString &Section, const QString &Name) { return Section + '/' + Name; }

#ifndef Q_OS_WIN
// A section or value name as the INI file spells it: %XX and %UXXXX stand
// for characters, "\" for "/".
QString UnescapedIniKey(QStringView Key) {
  QString Name;
  for (qsizetype K = 0; K < Key.size(); ++K) {
    bool Ok = false;
    if (Key[K] == '%' && K + 1 < Key.size() && Key[K + 1] == 'U' && K + 5 < Key.size()) {
      const uint Code = Key.mid(K + 2, 4).toUInt(&Ok, 16);
      if (Ok) {
        Name += QChar(Code);
        K += 5;
        continue;
      }
    } else if (Key[K] == '%' && K + 2 < Key.size()) {
      const uint Code = Key.mid(K + 1, 2).toUInt(&Ok, 16);
      if (Ok) {
        Name += QChar(Code);
        K += 2;
        continue;
      }
    }
    Name += Key[K] == '\\' ? QChar('/') : Key[K];
  }
  return Name;
}

// The INI file's own text, which QSettings does not keep: a section that
// holds no value, and a value written by hand with unquoted commas, which
// QSettings reads as a list with the blanks around each comma cut away.
class TIniText {
public:
  explicit TIniText(const QString &FileName) {
    QFile File(FileName);
    if (File.open(QIODevice::ReadOnly))
      FLines = QString::fromUtf8(File.readAll()).split('\n');
  }
  bool HasSection(const QString &Section) const {
    for (const QString &Line : FLines)
      if (SectionOf(Line) == Section)
        return true;
    return false;
  }
  // The text after "=" as written, blanks at both ends cut; the last of
  // several, as QSettings reads them.
  std::optional<QString> Value(const QString &Section, const QString &Name) const {
    std::optional<QString> Found;
    bool InSection = false;
    for (const QString &Line : FLines) {
      if (const std::optional<QString> Header = SectionOf(Line)) {
        InSection = *Header == Section;
        continue;
      }
      const qsizetype Equals = Line.indexOf('=');
      if (InSection && Equals > 0 &&
          UnescapedIniKey(QStringView(Line).left(Equals).trimmed()) == Name)
        Found = Line.mid(Equals + 1).trimmed();
    }
    return Found;
  }

private:
  static std::optional<QString> SectionOf(const QString &Line) {
    const QString Trimmed = Line.trimmed();
    if (Trimmed.size() < 2 || !Trimmed.startsWith('[') || !Trimmed.endsWith(']'))
      return std::nullopt;
    return UnescapedIniKey(QStringView(Trimmed).mid(1, Trimmed.size() - 2));
  }
  QStringList FLines;
};
#endif

std::mutex UnsaidLock;
QtMessageHandler HandlerBeforeUnsaid = nullptr;

void PassAllButUnknownTypes(QtMsgType Type, const QMessageLogContext &Context,
                            const QString &Message) {
  if (!Message.startsWith(QLatin1String("QVariant::load: unknown user type")))
    HandlerBeforeUnsaid(Type, Context, Message);
}

// QSettings decodes the values of an INI file's section when it first
// looks into it, and Qt then writes "QVariant::load: unknown user type" to
// standard error for a @Variant(...) of a type it does not know, naming
// neither the file nor the value. ReadString reports such a value with
// both, so Qt's line is left out wherever the file is read.
class TUnknownTypesUnsaid {
public:
  TUnknownTypesUnsaid() : FLock(UnsaidLock) {
    HandlerBeforeUnsaid = qInstallMessageHandler(PassAllButUnknownTypes);
  }
  ~TUnknownTypesUnsaid() { qInstallMessageHandler(HandlerBeforeUnsaid); }

private:
  std::lock_guard<std::mutex> FLock;
};

} // namespace

TRegIniFile::TRegIniFile(const QString &KeyPath) {
  QString Path = KeyPath.startsWith('\\') ? KeyPath.mid(1) : KeyPath;
  const TUnknownTypesUnsaid Unsaid;
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
  FSettings->allKeys(); // every section read now, where Qt's lines are left out
#endif
}

TRegIniFile::~TRegIniFile() = default;

QString TRegIniFile::FileName() const {
#ifdef Q_OS_WIN
  // QSettings names the key "\HKEY_CURRENT_USER\...", a path no registry
  // tool takes; tessaline-cli and regedit say "HKEY_CURRENT_USER\...".
  const QString Name = FSettings->fileName();
  return Name.startsWith('\\') ? Name.mid(1) : Name;
#else
  return FSettings->fileName();
#endif
}

QString TRegIniFile::ReadString(const QString &Section, const QString &Name,
                                const QString &Default) const {
  const QVariant Value = FSettings->value(KeyOf(Section, Name));
  // A value that is there but reads as nothing is one that QSettings could
  // not decode (a @Variant of a type Qt does not know): not a missing one.
  if (!Value.isValid() && !FSettings->contains(KeyOf(Section, Name)))
    return Default;
  switch (Value.typeId()) {
  case QMetaType::QString:
    return Value.toString().section(QChar(0), 0, 0); // text ends at a NUL
  case QMetaType::QByteArray:
    return QString::fromLocal8Bit(Value.toByteArray());
#ifndef Q_OS_WIN
  case QMetaType::QStringList:
  case QMetaType::QVariantList:
    // An INI value written by hand without quotes, like "255 , 0,,1", or
    // with a "@" among its parts, comes back as a list: it is the text as
    // written, blanks around the commas included.
    if (const std::optional<QString> Text = TIniText(FileName()).Value(Section, Name))
      return Text->section(QChar(0), 0, 0);
    break;
#endif
  default:
    break;
  }
  // Registry values of other types, and INI values that QSettings decodes
  // as something else than text (@Rect(...), @Variant(...)) or not at all.
  throw ERegistryException("Invalid data type for '" + Name.toStdString() + "'");
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
  if (FSettings->childGroups().contains(Section))
    return true;
#ifndef Q_OS_WIN
  // QSettings forgets a section that holds no value; it exists all the same.
  return TIniText(FileName()).HasSection(Section);
#else
  return false;
#endif
}

void TRegIniFile::Sync(const QString &Failure) {
  // QSettings reports a write that failed (a read-only folder, a full disk,
  // a file where a folder should be) only through its status after syncing.
  {
    const TUnknownTypesUnsaid Unsaid; // a file another program changed is read again
    FSettings->sync();
  }
  if (FSettings->status() != QSettings::NoError)
    throw ERegistryException(Failure.toStdString());
}

int TRegIniFile::ValueCount(const QString &Section) const {
  FSettings->beginGroup(Section);
  const int Count = static_cast<int>(FSettings->childKeys().size());
  FSettings->endGroup();
  return Count;
}
