// The language modes of the modern dialect: which compiler's reading of
// Pascal decides the reserved words and whether comments nest. The mode
// a scan starts in travels with the converter (TTessaline::SetModeOptions);
// a "{$mode ...}" directive in the source changes it from there on, when
// the options say that such directives count.
#pragma once

#include <cstdint>

/// The compiler and mode a text is read in. Delphi is Embarcadero's
/// compiler, which has no modes; the others are Free Pascal's modes
/// ("{$mode fpc}", "{$mode objfpc}", "{$mode delphi}" ...).
enum class TPascalMode : uint8_t {
  Delphi,
  Fpc,
  ObjFpc,
  FpcDelphi,
  FpcDelphiUnicode,
  TurboPascal,
  MacPas,
  Iso,
  ExtendedPascal,
};

/// The mode a scan starts in, and whether "{$mode ...}" and
/// "{$modeswitch ...}" in the source change it. Without either, a text is
/// read as Delphi reads it and follows the directives.
struct TModeOptions {
  TPascalMode Mode = TPascalMode::Delphi;
  bool ModeDirectives = true;
};

/// The parts of a mode that decide how words and comments are read, as
/// bits: Free Pascal's mode switches that bring keywords with them, and
/// Delphi's own reading.
namespace ModeKeys {
inline constexpr uint8_t Fpc = 1;        // FPC and ObjFPC: "operator", "cppclass"; comments nest
inline constexpr uint8_t Class = 2;      // "class", "as", "is", "dispinterface"
inline constexpr uint8_t Except = 4;     // "try", "except", "finally", "raise"
inline constexpr uint8_t Property = 8;   // "property"
inline constexpr uint8_t InitFinal = 16; // "initialization", "finalization"
inline constexpr uint8_t ObjC = 32;      // "objcclass", "objcprotocol", "objccategory"
inline constexpr uint8_t Mac = 64;       // "univ", "return"
inline constexpr uint8_t Delphi = 128;   // Embarcadero's reserved words and nothing else
} // namespace ModeKeys

/// The keys of a mode when it starts, before any "{$modeswitch ...}".
constexpr uint8_t KeysOf(TPascalMode Mode) {
  using namespace ModeKeys;
  switch (Mode) {
  case TPascalMode::Delphi:
    return Delphi;
  case TPascalMode::Fpc:
    return Fpc | Property | InitFinal;
  case TPascalMode::ObjFpc:
    return Fpc | Class | Except | Property | InitFinal;
  case TPascalMode::FpcDelphi:
  case TPascalMode::FpcDelphiUnicode:
    return Class | Except | Property | InitFinal;
  case TPascalMode::MacPas:
    return Mac;
  default:
    return 0;
  }
}

/// Whether comments nest ("{ { } }", "(* (* *) *)") under these keys.
constexpr bool NestsComments(uint8_t Keys) { return (Keys & ModeKeys::Fpc) != 0; }
