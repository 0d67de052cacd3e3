#include "RtfPage.h"

#include <array>
#include <cstring>

namespace {

// Bytes copied as they are: printable ASCII but the markup and entity
// starts and the three characters RTF escapes.
constexpr std::array<bool, 256> MakePlainBytes() {
  std::array<bool, 256> Plain{};
  for (int C = 0x20; C < 0x7F; ++C)
    Plain[C] = C != '<' && C != '&' && C != '\\' && C != '{' && C != '}';
  return Plain;
}
constexpr std::array<bool, 256> PlainBytes = MakePlainBytes();
static_assert(PlainBytes['a'] && !PlainBytes['{'] && !PlainBytes['\n'] && !PlainBytes[0x80]);

bool HasOwnColor(const TScheme &Scheme, THighlightElement E) {
  return !Scheme[E].Default && Scheme[E].Color != Scheme[heIdentifier].Color;
}

} // namespace

void BuildRtfSpans(const TScheme &Scheme, TSpanMarkup &Spans) {
  constexpr uint8_t Plain = 0xFF;
  Spans.Close = "<}>";
  for (int K = 0; K < ElementCount; ++K) {
    const auto E = static_cast<THighlightElement>(K);
    const bool Colored = HasOwnColor(Scheme, E);
    const TFontStyles Style = Scheme[E].Style;
    Spans.Open[K].clear();
    Spans.Look[K] = Plain;
    Spans.Decorated[K] = Style & (fsUnderline | fsStrikeOut);
    if (E == heWhitespace || (!Colored && Style == 0))
      continue;
    std::string Open = "<{";
    if (Colored)
      Open += "\\cf" + std::to_string(K + 1);
    if (Style & fsBold)
      Open += "\\b";
    if (Style & fsItalic)
      Open += "\\i";
    if (Style & fsUnderline)
      Open += "\\ul";
    if (Style & fsStrikeOut)
      Open += "\\strike";
    Open += " >";
    Spans.Open[K] = Open;
    for (int Other = 0; Other <= K; ++Other) {
      const auto O = static_cast<THighlightElement>(Other);
      const bool Alike = HasOwnColor(Scheme, O) == Colored && Scheme[O].Style == Style &&
                         (!Colored || Scheme[O].Color == Scheme[E].Color);
      if (Alike && (Other == K || Spans.Look[Other] != Plain)) {
        Spans.Look[K] = static_cast<uint8_t>(Other);
        break;
      }
    }
  }
}

void WriteRtfHeader(TPageWriter &Writer, const TScheme &Scheme) {
  Writer.Put("{\\rtf1\\ansi\\ansicpg1252\\deff0\\uc1\n"
             "{\\fonttbl{\\f0\\fmodern\\fcharset0 Courier New;}}\n"
             "{\\colortbl;");
  for (int K = 0; K < ElementCount; ++K) {
    const uint32_t RGB = ColorToRGB(Scheme.Elements[K].Color);
    Writer.Put("\\red" + std::to_string(RGB >> 16) + "\\green" + std::to_string(RGB >> 8 & 0xFF) +
               "\\blue" + std::to_string(RGB & 0xFF) + ";");
  }
  Writer.Put("}\n{\\*\\generator Tessaline by Quorvander;}\n");
  // The paragraphs' shading is the page background, the text colour that of
  // identifiers.
  Writer.Put("\\pard\\plain\\f0\\fs20\\cbpat" + std::to_string(heWhitespace + 1) + "\\cf" +
             std::to_string(heIdentifier + 1) + " ");
}

void WriteRtfFooter(TPageWriter &Writer, bool SpanOpen) {
  if (SpanOpen)
    Writer.Put("}");
  Writer.Put("\n}\n");
}

void TRtfBodySink::PutSpecial(unsigned char C) {
  switch (C) {
  case '\r':
    FOut.Put("\\par\n");
    FAfterCR = true;
    return;
  case '\n':
    if (!FAfterCR)
      FOut.Put("\\par\n");
    FAfterCR = false;
    return;
  case '\t':
    FOut.Put("\\tab ");
    break;
  case '\f':
    FOut.Put("\\page ");
    break;
  case '\\':
  case '{':
  case '}': {
    const char Escaped[2] = {'\\', static_cast<char>(C)};
    FOut.Put(Escaped, 2);
    break;
  }
  default: {
    // Other control bytes, which the page's text shows as symbols already.
    static const char Digits[] = "0123456789abcdef";
    const char Escaped[4] = {'\\', '\'', Digits[C >> 4], Digits[C & 15]};
    FOut.Put(Escaped, 4);
  }
  }
  FAfterCR = false;
}

void TRtfBodySink::PutUnicode(uint32_t Code) {
  // \u takes a signed 16-bit number; characters beyond take two, as UTF-16.
  auto PutUnit = [this](uint32_t Unit) {
    const int Signed = Unit >= 0x8000 ? static_cast<int>(Unit) - 0x10000 : static_cast<int>(Unit);
    FOut.Put("\\u" + std::to_string(Signed) + "?");
  };
  if (Code >= 0x10000) {
    PutUnit(0xD800 + ((Code - 0x10000) >> 10));
    PutUnit(0xDC00 + ((Code - 0x10000) & 0x3FF));
  } else {
    PutUnit(Code);
  }
  FAfterCR = false;
}

void TRtfBodySink::Write(const char *Data, size_t Size) {
  const char *P = Data;
  const char *const End = Data + Size;
  while (P < End) {
    switch (FState) {
    case TState::Text: {
      const char *Run = P;
      while (P < End && PlainBytes[static_cast<unsigned char>(*P)])
        ++P;
      if (P > Run) {
        FOut.Put(Run, static_cast<size_t>(P - Run));
        FAfterCR = false;
      }
      if (P == End)
        return;
      const auto C = static_cast<unsigned char>(*P++);
      if (C == '<') {
        FState = TState::Markup;
      } else if (C == '&') {
        FState = TState::Entity;
        FEntityLength = 0;
      } else if (C >= 0xC0) {
        // The text is valid UTF-8 (the source was decoded into it).
        FMissing = C >= 0xF0 ? 3 : C >= 0xE0 ? 2 : 1;
        FCode = C & (0x3F >> FMissing);
        FState = TState::Sequence;
      } else {
        PutSpecial(C);
      }
      break;
    }
    case TState::Markup: {
      // Markup ends at its ">", maybe in a later block.
      const void *Close = std::memchr(P, '>', static_cast<size_t>(End - P));
      const char *Stop = Close ? static_cast<const char *>(Close) : End;
      FOut.Put(P, static_cast<size_t>(Stop - P));
      P = Stop;
      if (Close) {
        ++P;
        FState = TState::Text;
      }
      break;
    }
    case TState::Entity: {
      const char C = *P++;
      if (C != ';' && FEntityLength < sizeof FEntity) {
        FEntity[FEntityLength++] = C;
        break;
      }
      const std::string_view Name(FEntity, FEntityLength);
      const char Character = Name == "amp" ? '&' : Name == "lt" ? '<' : Name == "gt" ? '>' : '"';
      FOut.Put(&Character, 1);
      FAfterCR = false;
      FState = TState::Text;
      break;
    }
    case TState::Sequence:
      FCode = FCode << 6 | (static_cast<unsigned char>(*P++) & 0x3F);
      if (--FMissing == 0) {
        PutUnicode(FCode);
        FState = TState::Text;
      }
      break;
    }
  }
}
