// The Pascal scanner's tables and pure helpers.
//
// The scanner knows no grammar: it classifies a token by its first byte
// and looks identifiers up among a fixed list of reserved words. Only ASCII
// letters are letters; every byte from 127 up is an "other" byte.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
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

/// One entry per byte: its TTokenStart in the low four bits, then TCharSet bits.
extern const uint16_t CharClasses[256];

inline TTokenStart TokenStartOf(unsigned char C) {
  return static_cast<TTokenStart>(CharClasses[C] & 15);
}
inline bool IsIn(unsigned char C, TCharSet Set) { return (CharClasses[C] & Set) != 0; }

/// The 99 reserved words and directives, lower case, in table order.
extern const char *const ReservedWords[99];
/// Entities for & < > and the double quote, in that order.
extern const char *const HTMLEntities[4];

/// True when Word equals a reserved word with ASCII letters folded.
bool IsReservedWord(std::string_view Word);

/// The run of IdentChars that starts at 1-based position P of Text.
std::string_view ExtractIdent(std::string_view Text, size_t P);

/// Text with & < > and the double quote replaced by their entities.
std::string EscapeHTML(std::string_view Text);

/// How a conversion shares a large text with a second thread: texts of at
/// least MinText bytes go in rounds of 2 * Segment bytes (a quarter of that
/// when the page streams to a sink). The calling thread converts the first
/// part of each round, and a helper thread the rest, from a line start a
/// little before the round's middle on (well before it when streaming, as
/// the caller also writes the page out). The helper works through its
/// segments without waiting for the caller, at most two ahead; a caller
/// that comes to a segment the helper is still on has it end the segment
/// there and goes on from where it ended, so neither waits for the other.
/// Where the caller's own tokens and markup meet the helper's, the
/// helper's page is taken over; where they do not (a segment starting
/// inside a comment or string), the caller converts that segment itself.
/// The page, the progress reports and Stop are the same as in a conversion
/// by one thread. Segment 0 keeps every text on the calling thread. Tests
/// shrink both to exercise the meeting points, and set HelperPart to have
/// the helper end every segment after that many bytes, as when the caller
/// comes to it early (0: at the segment's end); never change them while a
/// conversion runs.
struct TScanSplit {
  size_t Segment = size_t(4) << 20;
  size_t MinText = size_t(1) << 20;
  size_t HelperPart = 0;
};
extern TScanSplit ScanSplit;

/// Whether the scanner may use AVX2 instructions where the processor has
/// them (the default); it otherwise uses SSE2 alone, with the same pages.
/// Tests clear it to check that; never change it while a conversion runs.
extern bool ScanWithAVX2;
