// The value types every part of the converter and its callers share:
// highlight elements, font styles and colours.
#pragma once

#include <cstdint>
#include <string>

/// The kinds of token a page distinguishes. The values index every
/// per-element table (colours, flags, styles, markup, presets, settings).
enum THighlightElement : uint8_t {
  heWhitespace,   // gaps between tokens; its colour is the page background
  heComment,      // {...}, (*...*) and //... comments (and, classic, directives)
  heReservedWord, // identifiers found among the reserved words
  heIdentifier,   // other identifiers; its colour is the page text colour
  heSymbol,       // symbol runs and the characters & < > "
  heString,       // quoted strings and # character codes
  heNumber,       // decimal and $ hexadecimal numbers
  heAssembler,    // modern: the bodies of asm blocks; classic: never chosen
  heDirective,    // modern: {$...} and (*$...*); classic: never chosen
  heInactive,     // modern with conditionals: code in a branch the compiler skips
};
inline constexpr int ElementCount = 10;

/// The rules a scan reads Pascal by. Classic is the default, and its pages
/// never change; Modern reads today's Pascal (directives, multi-line
/// strings, escaped identifiers, every number form, asm bodies).
enum class TPascalDialect : uint8_t { Classic, Modern };

/// A set of font styles held in the low four bits of one byte.
using TFontStyles = uint8_t;
inline constexpr TFontStyles fsBold = 1;
inline constexpr TFontStyles fsItalic = 2;
inline constexpr TFontStyles fsUnderline = 4;
inline constexpr TFontStyles fsStrikeOut = 8;

/// A colour as 0x00BBGGRR (red in the low byte). Values with the top bit
/// set name the platform's system colours; clNone is 0x1FFFFFFF.
using TColor = int32_t;

inline constexpr TColor clBlack = 0x000000;
inline constexpr TColor clMaroon = 0x000080;
inline constexpr TColor clGreen = 0x008000;
inline constexpr TColor clOlive = 0x008080;
inline constexpr TColor clNavy = 0x800000;
inline constexpr TColor clPurple = 0x800080;
inline constexpr TColor clTeal = 0x808000;
inline constexpr TColor clGray = 0x808080;
inline constexpr TColor clSilver = 0xC0C0C0;
inline constexpr TColor clRed = 0x0000FF;
inline constexpr TColor clLime = 0x00FF00;
inline constexpr TColor clYellow = 0x00FFFF;
inline constexpr TColor clBlue = 0xFF0000;
inline constexpr TColor clFuchsia = 0xFF00FF;
inline constexpr TColor clAqua = 0xFFFF00;
inline constexpr TColor clWhite = 0xFFFFFF;
inline constexpr TColor clNone = 0x1FFFFFFF;

inline constexpr TColor clSystemColor = INT32_MIN; // 0x80000000
inline constexpr TColor clScrollBar = clSystemColor + 0;
inline constexpr TColor clBackground = clSystemColor + 1;
inline constexpr TColor clActiveCaption = clSystemColor + 2;
inline constexpr TColor clInactiveCaption = clSystemColor + 3;
inline constexpr TColor clMenu = clSystemColor + 4;
inline constexpr TColor clWindow = clSystemColor + 5;
inline constexpr TColor clWindowFrame = clSystemColor + 6;
inline constexpr TColor clMenuText = clSystemColor + 7;
inline constexpr TColor clWindowText = clSystemColor + 8;
inline constexpr TColor clCaptionText = clSystemColor + 9;
inline constexpr TColor clActiveBorder = clSystemColor + 10;
inline constexpr TColor clInactiveBorder = clSystemColor + 11;
inline constexpr TColor clAppWorkSpace = clSystemColor + 12;
inline constexpr TColor clHighlight = clSystemColor + 13;
inline constexpr TColor clHighlightText = clSystemColor + 14;
inline constexpr TColor clBtnFace = clSystemColor + 15;
inline constexpr TColor clBtnShadow = clSystemColor + 16;
inline constexpr TColor clGrayText = clSystemColor + 17;
inline constexpr TColor clBtnText = clSystemColor + 18;
inline constexpr TColor clInactiveCaptionText = clSystemColor + 19;
inline constexpr TColor clBtnHighlight = clSystemColor + 20;
inline constexpr TColor cl3DDkShadow = clSystemColor + 21;
inline constexpr TColor cl3DLight = clSystemColor + 22;
inline constexpr TColor clInfoText = clSystemColor + 23;
inline constexpr TColor clInfoBk = clSystemColor + 24;

/// One element's part of a colour scheme: its colour, its default-colour
/// flag (when set, its tokens get no colour markup of their own) and its
/// font styles.
struct TElementScheme {
  TColor Color;
  bool Default;
  TFontStyles Style;
  constexpr bool operator==(const TElementScheme &) const = default;
};

/// The scheme of all elements, indexed by THighlightElement.
struct TScheme {
  TElementScheme Elements[ElementCount];
  constexpr TElementScheme &operator[](THighlightElement E) { return Elements[E]; }
  constexpr const TElementScheme &operator[](THighlightElement E) const { return Elements[E]; }
  constexpr bool operator==(const TScheme &) const = default;
};

/// The HTML form of a colour: the name without "cl" for the sixteen named
/// colours, clNone and the 25 system colours ("Navy", "None", "BtnFace"),
/// otherwise "#RRGGBB" in upper case with the top byte ignored.
std::string ColorToHTML(TColor Color);

/// A colour as 0xRRGGBB for formats that know no colour names: system
/// colours as Windows shows them by default, clNone as white, the top
/// byte of other values ignored.
uint32_t ColorToRGB(TColor Color);
