// The text of the UTF-8 pages (HTML5, RTF, ANSI, BBCode), written from the source's own
// bytes as the scanner hands them to the page writer, so that no decoded
// copy of the source is made and each thread of a shared scan translates
// the text of the page it writes.
//
// The scanner takes the source's bytes as they are: it classes every byte
// from 0x80 up and every control character as an "other" byte, so a
// decoded text (where such bytes become longer runs of bytes from 0x80
// up) has its tokens where the source has them, and so its markup.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "SourceText.h"

class TPageWriter;

enum class TTextTarget : uint8_t {
  HTML5, // UTF-8, control characters as their symbols (Control Pictures);
         // C1 controls and noncharacters, which HTML allows in no form, as
         // U+FFFD in <span title="U+XXXX">, which keeps the code point
  RTF,   // ASCII: "\", "{" and "}" escaped, line ends as \par, tabs as \tab,
         // form feeds as \page, every other character as a \u escape
  ANSI,  // UTF-8, control characters as their symbols, C1 controls (which
         // terminals obey) as U+FFFD; before each line end the colours are
         // reset and after it the writer's OpenSpan is written again
  BBCode, // UTF-8, symbols and U+FFFD as for ANSI; "[" as "[[b][/b]", so
          // that it starts no tag; a blank after a blank or at a line's start
          // as U+00A0, a tab as eight of them, so that indentation survives
  Tokens,        // the token stream: each piece's length, never its text
  TokensOfUTF16, // the same, the text being the UTF-8 decoding of a UTF-16
                 // source, each piece counted in the source's bytes
};

/// The short text a byte translates to.
struct TTextEscape {
  char Text[11]; // nine bytes at most: \u-10179?
  uint8_t Length;
};

/// Translates pieces of one text; holds no state of its own (a line count
/// is the writer's), so threads may share it, and a piece translates the
/// same wherever the text is cut, provided no cut falls inside a valid
/// UTF-8 sequence with markup put in between (no token starts there).
class TTextTranslator {
public:
  /// Text is the whole text in Form that pieces come from; its bytes, and
  /// the one before a piece, are read. HTML5 with LineCount > 0 (the
  /// lines of Text, see CountLineEnds): after each line end but the last
  /// line's, the next line's anchor <a class="PREFIXline-number" id="L<n>"
  /// href="#L<n>"></a>, PREFIX being ClassPrefix (its first MaxClassPrefix
  /// bytes) and n the writer's TextLine, which each line end moves on; the
  /// first line's anchor is the caller's to write.
  TTextTranslator(TTextTarget Target, TTextForm Form, std::string_view Text,
                  uint64_t LineCount = 0, std::string_view ClassPrefix = {});

  static constexpr size_t MaxClassPrefix = 64;
  /// Whether the pieces' line ends move the writer's TextLine on.
  bool NumbersLines() const { return FLineCount > 0; }
  /// The anchor of line Line (see the constructor).
  void PutLineAnchor(TPageWriter &Writer, uint64_t Line) const;

  /// Whether & < > and the double quote are markup in the page, which the
  /// scanner then writes as entities; in RTF they are text.
  bool WritesEntities() const { return FTarget == TTextTarget::HTML5; }
  /// Whether line ends reopen the writer's OpenSpan (ANSI), which the
  /// scanner then keeps up to date.
  bool ReopensSpans() const { return FTarget == TTextTarget::ANSI; }

  /// Writes the piece of Size bytes at Data, a part of Text, to Writer:
  /// HTML5: the piece decoded from Form into UTF-8, with the symbols of
  /// the target above; RTF: as its target says, a LF after a CR (in Text,
  /// even before the piece) being part of the CR's \par. UTF-8 forms: a
  /// sequence that a cut splits is written whole by the piece it starts in.
  /// Tokens: the piece's length in the run form (see TokenStream.h).
  void Put(TPageWriter &Writer, const char *Data, size_t Size) const;

private:
  const unsigned char *FindSpecial(const unsigned char *P, const unsigned char *End) const;
  // End is the end of the piece that P is in.
  const unsigned char *PutSpecial(TPageWriter &Writer, const unsigned char *P,
                                  const unsigned char *End) const;
  const unsigned char *SkipSplitSequence(const unsigned char *P) const;
  const unsigned char *PutAnsiLineEnd(TPageWriter &Writer, const unsigned char *P) const;
  const unsigned char *PutBBCodeBlanks(TPageWriter &Writer, const unsigned char *P,
                                       const unsigned char *End) const;
  void PutRtfUnicode(TPageWriter &Writer, uint32_t Code) const;

  const TTextTarget FTarget;
  const TTextForm FForm;
  const unsigned char *const FBegin;
  const unsigned char *const FEnd;
  const uint64_t FLineCount;
  const bool *FSpecial;       // [256]: bytes that end a run copied as it is
  const TTextEscape *FAscii;  // [128]: what the special ASCII bytes become
  const TTextEscape *FHigh;   // [128] for bytes from 0x80 up; null for UTF-8 forms
  bool FSplitsSequences;      // UTF-8: taken a sequence at a time
  char FAnchorStart[MaxClassPrefix + 32]; // <a class="PREFIXline-number" id="L
  size_t FAnchorStartLength;
};

/// The line ends in [From, To): CR LF, a lone CR and LF, each one; the byte
/// at To is read.
uint64_t CountLineEnds(const char *From, const char *To);
