// What each byte is to the Pascal scanner: the token it starts and the
// runs it may continue. Only ASCII letters are letters; every byte from 127
// up is an "other" byte. The table is built at compile time from the
// members of each class, named below.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

/// What a byte starts when it opens a token. Each byte has exactly one.
enum TTokenStart : uint8_t {
  tsOther,  // blank, tab, CR, LF, other controls, " " and bytes 127-255
  tsHash,   // #       character code
  tsQuote,  // '       string
  tsSlash,  // /       line comment when doubled, else an other byte
  tsBrace,  // {       brace comment
  tsParen,  // (       parenthesis-star comment, else a symbol run
  tsLetter, // A-Z a-z _
  tsDigit,  // 0-9     decimal number
  tsDollar, // $       hexadecimal number
  tsEntity, // & < > " written as an entity
  tsSymbol, // the other members of Symbols
};

/// Sets a byte may continue a token in, as bits above its TTokenStart.
using TCharSet = uint16_t;
inline constexpr TCharSet csIdent = 1 << 4;   // IdentChars: 0-9 A-Z a-z _
inline constexpr TCharSet csDecimal = 1 << 5; // decimal number continuation: 0-9 .
inline constexpr TCharSet csHex = 1 << 6;     // HexChars: $ 0-9 A-F a-f
inline constexpr TCharSet csSymbol =
    1 << 7; // Symbols: ! % ( ) * + , - . / : ; = ? @ [ \ ] ^ ` { | } ~
// The digits of the modern dialect's numbers and character codes, by base,
// and the separator "_" its numbers may have among them.
inline constexpr TCharSet csDecimalDigit = 1 << 8; // 0-9
inline constexpr TCharSet csHexDigit = 1 << 9;     // 0-9 A-F a-f
inline constexpr TCharSet csOctalDigit = 1 << 10;  // 0-7
inline constexpr TCharSet csBinaryDigit = 1 << 11; // 0 1
inline constexpr TCharSet csSeparator = 1 << 12;   // _

namespace CharClassMembers {
// The members of each class, by name; every byte not named is tsOther.
inline constexpr std::string_view Letters =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz_";
inline constexpr std::string_view Digits = "0123456789";
inline constexpr std::string_view HexLetters = "ABCDEFabcdef";
inline constexpr std::string_view SymbolChars = "!%()*+,-./:;=?@[\\]^`{|}~";
inline constexpr std::string_view EntityChars = "&<>\"";
} // namespace CharClassMembers

/// The class of one byte: its TTokenStart in the low four bits, then its
/// TCharSet bits.
constexpr uint16_t ClassOf(char C) {
  using namespace CharClassMembers;
  auto In = [C](std::string_view Set) { return Set.find(C) != std::string_view::npos; };
  uint16_t Class = tsOther;
  if (In(Letters))
    Class = tsLetter | csIdent;
  if (In(HexLetters))
    Class |= csHex;
  if (In(Digits))
    Class = tsDigit | csIdent | csDecimal | csHex;
  if (In(EntityChars))
    Class = tsEntity;
  if (In(SymbolChars)) // the symbols that open comments start their own rule
    Class = (C == '/' ? tsSlash : C == '{' ? tsBrace : C == '(' ? tsParen : tsSymbol) | csSymbol;
  if (C == '.')
    Class |= csDecimal;
  if (C == '#')
    Class = tsHash;
  if (C == '\'')
    Class = tsQuote;
  if (C == '$')
    Class = tsDollar | csHex;
  if (In(Digits))
    Class |= csDecimalDigit | csHexDigit | (C <= '7' ? csOctalDigit : 0) |
             (C <= '1' ? csBinaryDigit : 0);
  if (In(HexLetters))
    Class |= csHexDigit;
  if (C == '_')
    Class |= csSeparator;
  return Class;
}

/// One entry per byte, as ClassOf gives it.
inline constexpr std::array<uint16_t, 256> CharClasses = [] {
  std::array<uint16_t, 256> Table{};
  for (int C = 0; C < 256; ++C)
    Table[C] = ClassOf(static_cast<char>(C));
  return Table;
}();

inline TTokenStart TokenStartOf(unsigned char C) {
  return static_cast<TTokenStart>(CharClasses[C] & 15);
}
inline bool IsIn(unsigned char C, TCharSet Set) { return (CharClasses[C] & Set) != 0; }

/// Entities for & < > and the double quote, in that order.
inline constexpr const char *HTMLEntities[4] = {"&amp;", "&lt;", "&gt;", "&quot;"};

/// The entity for a byte whose TTokenStart is tsEntity.
inline const char *EntityFor(unsigned char C) {
  switch (C) {
  case '&':
    return HTMLEntities[0];
  case '<':
    return HTMLEntities[1];
  case '>':
    return HTMLEntities[2];
  default:
    return HTMLEntities[3];
  }
}
