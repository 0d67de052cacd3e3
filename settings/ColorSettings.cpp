#include "ColorSettings.h"

#include "ColorScheme.h"
#include "TextUtils.h"

namespace {
// The stored name of element E shown as Caption: the engine's for its own
// caption (the first nine are theirs with blanks as "_", Inactive code is
// "Inactive"), else the caption's.
QString ValueName(const QStringList &Captions, int E) {
  const std::string Caption = Captions[E].toStdString();
  return QString::fromStdString(Caption == ElementCaptions[E]
                                    ? ElementValueName(static_cast<THighlightElement>(E))
                                    : SpacesToUnderscores(Caption));
}
} // namespace

QStringList ElementCaptionList() {
  QStringList Captions;
  for (const char *Caption : ElementCaptions)
    Captions << Caption;
  return Captions;
}

int LoadColorSettings(const TRegIniFile &Settings, TTessaline &Converter,
                      const QStringList &Captions, const TUnreadableSetting &OnUnreadable) {
  if (!Settings.SectionExists(ColorSection))
    return 0;
  // Runs Use on one value's name; with OnUnreadable, a value that cannot
  // be read is handed to it and the load goes on.
  auto Read = [&](const QString &Name, auto &&Use) {
    try {
      Use(Name);
    } catch (const ERegistryException &Error) {
      if (!OnUnreadable)
        throw;
      OnUnreadable(Name, Error);
    }
  };
  int Preset = 0;
  Read("ColorSpeedSetting",
       [&](const QString &Name) { Preset = Settings.ReadInteger(ColorSection, Name, 0); });
  for (int E = 0; E < ElementCount && E < Captions.size(); ++E) {
    const auto Element = static_cast<THighlightElement>(E);
    Read(ValueName(Captions, E), [&](const QString &Name) {
      if (IsLaterElement(Element) && !Settings.ValueExists(ColorSection, Name)) {
        LoadMissingElementSetting(Converter, Element, Preset);
        return;
      }
      const QString Value = Settings.ReadString(ColorSection, Name, MissingElementSetting);
      LoadElementSetting(Converter, Element, Value.toStdString());
    });
  }
  return Preset;
}

void SaveColorSettings(TRegIniFile &Settings, const TTessaline &Converter,
                       const QStringList &Captions, int PresetIndex) {
  Settings.WriteInteger(ColorSection, "ColorSpeedSetting", PresetIndex);
  for (int E = 0; E < ElementCount && E < Captions.size(); ++E)
    Settings.WriteString(
        ColorSection, ValueName(Captions, E),
        QString::fromStdString(FormatElementSetting(Converter, static_cast<THighlightElement>(E))));
}

TPascalDialect LoadDialectSetting(const TRegIniFile &Settings) {
  return Settings.ReadInteger(ColorSection, "Dialect", 0) == 1 ? TPascalDialect::Modern
                                                               : TPascalDialect::Classic;
}

void SaveDialectSetting(TRegIniFile &Settings, TPascalDialect Dialect) {
  Settings.WriteInteger(ColorSection, "Dialect", Dialect == TPascalDialect::Modern ? 1 : 0);
}

QString LoadDefinesSetting(const TRegIniFile &Settings) {
  return Settings.ReadString(ColorSection, "Defines", QString());
}

void SaveDefinesSetting(TRegIniFile &Settings, const QString &Defines) {
  Settings.WriteString(ColorSection, "Defines", Defines);
}
