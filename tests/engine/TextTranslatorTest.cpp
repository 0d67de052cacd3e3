// The text of the UTF-8 pages, translated from the source's bytes as a
// page writer puts them: the same wherever the scanner cuts the text, and
// the same as translating the source decoded first.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "PageWriter.h"
#include "SourceText.h"
#include "TextTranslator.h"

namespace {

// Text translated in pieces of Block bytes.
std::string Translated(TTextTarget Target, TTextForm Form, std::string_view Text, size_t Block) {
  const TTextTranslator Translator(Target, Form, Text);
  TByteBuffer Buffer;
  TPageWriter Out(Buffer, 0);
  for (size_t K = 0; K < Text.size(); K += Block)
    Translator.Put(Out, Text.data() + K, std::min(Block, Text.size() - K));
  Out.Finish();
  return std::string(Buffer.Data(), Buffer.Size());
}

struct TCase {
  const char *Name;
  TTextTarget Target;
  TTextForm Form;
  std::string Text;
  std::string Expected;
};

TEST(TextTranslator, PiecesCutAnywhereGiveOneText) {
  const TCase Cases[] = {
      {"RTF of UTF-8: escapes, \\u (UTF-16 beyond U+FFFF), one \\par per line end",
       TTextTarget::RTF, TTextForm::UTF8,
       "\\x {&<>\"}\xC3\xA9\xF0\x9F\x98\x80\r\n\r\r\n\ty\f\n",
       "\\\\x \\{&<>\"\\}\\u233?\\u-10179?\\u-8704?\\par\n\\par\n\\par\n\\tab y\\page \\par\n"},
      {"RTF: control characters as their symbols", TTextTarget::RTF, TTextForm::UTF8,
       std::string("\0\x1B\x7F", 3), "\\u9216?\\u9243?\\u9249?"},
      {"RTF of mended UTF-8: each invalid byte one U+FFFD", TTextTarget::RTF,
       TTextForm::UTF8Mended, "\xE2\x82" "a\xE2\x82\xAC\xED\xA0\x80",
       "\\u-3?\\u-3?a\\u8364?\\u-3?\\u-3?\\u-3?"},
      {"RTF of Windows-1252 and Latin-1", TTextTarget::RTF, TTextForm::Windows1252,
       "\x80\xE9\x81", "\\u8364?\\u233?\\u129?"},
      {"RTF of Latin-1", TTextTarget::RTF, TTextForm::Latin1, "\x80\xFF", "\\u128?\\u255?"},
      {"HTML5 of Windows-1252 with controls", TTextTarget::HTML5, TTextForm::Windows1252,
       std::string("\x80\0\r\n", 4), "\xE2\x82\xAC\xE2\x90\x80\r\n"},
      {"HTML5 of mended UTF-8", TTextTarget::HTML5, TTextForm::UTF8Mended,
       "\xF0\x9F\x98\x80\xF0\x9F", "\xF0\x9F\x98\x80\xEF\xBF\xBD\xEF\xBF\xBD"},
  };
  for (const TCase &Case : Cases)
    for (size_t Block = 1; Block <= Case.Text.size(); ++Block)
      EXPECT_EQ(Translated(Case.Target, Case.Form, Case.Text, Block), Case.Expected)
          << Case.Name << ", pieces of " << Block;
}

// Random sources dense in odd bytes, in every encoding: the text taken as
// it is and translated in pieces equals the decoded source translated
// whole, for both targets.
TEST(TextTranslator, TranslatedTextIsTheDecodedSource) {
  const std::string Pieces[] = {"a", "{", "\\", "\r\n", "\r", "\n", "\t", std::string(1, '\0'),
                                "\x1B", "\x7F", "\x80", "\x81", "\xE9", "\xC3\xA9", "\xE2\x82\xAC",
                                "\xE2\x82", "\xF0\x9F\x98\x80", "\xED\xA0\x80", "\xC0\xAF",
                                "\xEF\xBB\xBF", "\xFF\xFE", "&", "   ", "\xC2\x85", "\xEF\xBF\xBF"};
  const TSourceEncoding Encodings[] = {TSourceEncoding::Auto, TSourceEncoding::UTF8,
                                       TSourceEncoding::Windows1252, TSourceEncoding::Latin1,
                                       TSourceEncoding::UTF16LE, TSourceEncoding::UTF16BE};
  std::mt19937 Random(19);
  for (int K = 0; K < 400; ++K) {
    std::string Bytes;
    for (int P = static_cast<int>(Random() % 30); P >= 0; --P)
      Bytes += Pieces[Random() % std::size(Pieces)];
    for (const TSourceEncoding Encoding : Encodings) {
      TSourceText Decoded, Taken;
      DecodeSource(Bytes, Encoding, Decoded);
      TakeSource(Bytes, Encoding, Taken);
      const size_t Block = 1 + Random() % 9;
      ASSERT_EQ(Translated(TTextTarget::HTML5, Taken.Form, Taken.Text, Block),
                Translated(TTextTarget::HTML5, TTextForm::UTF8, Decoded.Text, 999))
          << "case " << K << ", encoding " << static_cast<int>(Encoding);
      ASSERT_EQ(Translated(TTextTarget::RTF, Taken.Form, Taken.Text, Block),
                Translated(TTextTarget::RTF, TTextForm::UTF8, Decoded.Text, 999))
          << "case " << K << ", encoding " << static_cast<int>(Encoding);
    }
  }
}

} // namespace
