// What a source's bytes are as text: the byte-order marks a page honours,
// and the decoding of the UTF-8 pages (HTML5 and RTF) from the source's
// encoding.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

/// The encodings a source may be read in for the UTF-8 pages.
enum class TSourceEncoding : uint8_t {
  Auto,        // a byte-order mark, else UTF-8 when valid, else Windows-1252
  UTF8,        // invalid sequences become U+FFFD
  Windows1252, // the Windows code page of Western Europe
  Latin1,      // ISO-8859-1: each byte is the code point of the same value
  UTF16LE,
  UTF16BE,
};

/// The encoding named Name ("auto", "utf-8", "windows-1252", "cp1252",
/// "iso-8859-1", "latin1", "utf-16le", "utf-16be", any letter case), or
/// false for a name not among them.
bool FindSourceEncoding(std::string_view Name, TSourceEncoding &Encoding);

/// How the bytes of a text stand for characters, where a page writer
/// translates them (see TTextTranslator) rather than a decoding copying them.
enum class TTextForm : uint8_t {
  UTF8,        // valid UTF-8
  UTF8Mended,  // UTF-8 in which each byte of an invalid sequence is U+FFFD
  Windows1252, // as TSourceEncoding::Windows1252
  Latin1,      // each byte is the code point of the same value
};

/// The text a page is built from. Text is either a part of the bytes it
/// was taken from or held in Storage; the byte after it is readable and
/// NUL either way (as after a std::string's characters), so the bytes it
/// came from must end in a readable NUL too.
class TSourceText {
public:
  TSourceText() = default;
  TSourceText(const TSourceText &) = delete;
  TSourceText &operator=(const TSourceText &) = delete;

  std::string_view Text;
  /// Whether Text is UTF-8 by a byte-order mark of the source.
  bool MarkedUnicode = false;
  /// How Text's bytes stand for characters, as TakeSource finds; after
  /// DecodeSource always UTF8.
  TTextForm Form = TTextForm::UTF8;
  std::string Storage;
};

/// The classic page's text: bytes as they are, except that a UTF-8
/// byte-order mark is left out and a UTF-16 one (LE or BE) has the rest
/// decoded to UTF-8 (unpaired surrogates and an odd last byte as U+FFFD);
/// in both cases MarkedUnicode is set.
void TakeMarkedSource(std::string_view Bytes, TSourceText &Source);

/// The UTF-8 pages' text: Bytes decoded from Encoding into valid UTF-8,
/// without a byte-order mark. A mark of the source always wins over
/// Encoding; valid UTF-8 is taken as it is, without a copy.
void DecodeSource(std::string_view Bytes, TSourceEncoding Encoding, TSourceText &Source);

/// The UTF-8 pages' text as DecodeSource gives it, but left in the form
/// Bytes are in (see TTextForm), which a page writer translates as it goes:
/// only a UTF-16 source is decoded (into Storage, where it takes at most
/// one and a half times its size). Without a byte-order mark, like
/// DecodeSource.
void TakeSource(std::string_view Bytes, TSourceEncoding Encoding, TSourceText &Source);

/// The length of the byte-order mark that Bytes start with: 3 for UTF-8,
/// 2 for UTF-16 (LE or BE), 0 for none.
size_t ByteOrderMarkLength(std::string_view Bytes);

/// Whether valid UTF-8 Text holds a character the HTML5 page shows as a
/// symbol (see TTextTranslator): a control character other than tab, LF,
/// FF and CR, a C1 control or a noncharacter.
bool HasCharactersShownAsSymbols(std::string_view Text);

/// Whether Bytes is valid UTF-8 (no overlong forms, surrogates or code
/// points above U+10FFFF).
bool IsValidUTF8(std::string_view Bytes);
