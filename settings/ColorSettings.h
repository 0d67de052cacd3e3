// The colour scheme as stored in section "Highlight" of the settings: the
// preset list's index ("ColorSpeedSetting"), the dialect ("Dialect"), the
// "Defines" field's text ("Defines") and one value per element, named
// after the element's caption with blanks as "_" (Inactive code, which
// came later, as "Inactive") and holding
// "color,background,letters,default,1,element,0".
#pragma once

#include <QStringList>
#include <functional>

#include "RegIniFile.h"
#include "Tessaline.h"

/// The element captions users see, in element order.
QStringList ElementCaptionList();

/// Told of a stored value that cannot be read: its name and the failure.
using TUnreadableSetting = std::function<void(const QString &Name, const ERegistryException &)>;

/// Reads the stored scheme into Converter and returns the preset index to
/// show: 0 when nothing is stored (the converter keeps its own scheme), else
/// the stored one (which may be outside 0..3: no selection). Captions name
/// the values. A Directive value missing from a stored scheme (one saved
/// before that element existed) gives the stored preset's Directive, or the
/// built-in one (LoadMissingElementSetting). A value that is not text stops
/// the load there with its ERegistryException; the elements before it are
/// loaded. Given OnUnreadable, the load goes on instead: that element keeps
/// the setting it had (an unreadable preset index reads as 0).
int LoadColorSettings(const TRegIniFile &Settings, TTessaline &Converter,
                      const QStringList &Captions, const TUnreadableSetting &OnUnreadable = {});

/// Writes PresetIndex (-1 for none) and the element values.
void SaveColorSettings(TRegIniFile &Settings, const TTessaline &Converter,
                       const QStringList &Captions, int PresetIndex);

/// The dialect stored as "Dialect" in the same section: 1 is modern; any
/// other number, none, or no section is classic.
TPascalDialect LoadDialectSetting(const TRegIniFile &Settings);
void SaveDialectSetting(TRegIniFile &Settings, TPascalDialect Dialect);

/// The text of the window's "Defines" field, stored as "Defines" in the
/// same section; empty when none is stored.
QString LoadDefinesSetting(const TRegIniFile &Settings);
void SaveDefinesSetting(TRegIniFile &Settings, const QString &Defines);
