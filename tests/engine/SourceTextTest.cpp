// Byte-order marks and source decoding.
#include <gtest/gtest.h>

#include <vector>

#include "PageWriter.h"
#include "SourceText.h"
#include "TextTranslator.h"

namespace {

struct TMarkedCase {
  const char *Name;
  std::string Bytes;
  std::string Text;
  bool Marked;
};

TEST(SourceText, MarkedSourcesAreReadAsUnicodeAndOthersStayBytes) {
  const TMarkedCase Cases[] = {
      {"no mark: bytes as they are, invalid UTF-8 and NUL included",
       std::string("a\xE9\0\xFF\xFEz", 6), std::string("a\xE9\0\xFF\xFEz", 6), false},
      {"UTF-8 mark left out", "\xEF\xBB\xBF" "a\xC3\xA9", "a\xC3\xA9", true},
      {"a mark alone", "\xEF\xBB\xBF", "", true},
      {"UTF-16 LE with a surrogate pair",
       std::string("\xFF\xFE" "a\0\x3D\xD8\x00\xDE", 8), "a\xF0\x9F\x98\x80", true},
      {"UTF-16 BE", std::string("\xFE\xFF\0a\0\xE9", 6), "a\xC3\xA9", true},
      {"UTF-16 LE: an unpaired surrogate and an odd last byte",
       std::string("\xFF\xFE\x00\xDC" "b\0c", 7), "\xEF\xBF\xBD" "b\xEF\xBF\xBD", true},
      {"two bytes of a UTF-8 mark are no mark", "\xEF\xBB" "a", "\xEF\xBB" "a", false},
  };
  for (const TMarkedCase &Case : Cases) {
    TSourceText Source;
    TakeMarkedSource(Case.Bytes, Source);
    EXPECT_EQ(Source.Text, Case.Text) << Case.Name;
    EXPECT_EQ(Source.MarkedUnicode, Case.Marked) << Case.Name;
    EXPECT_EQ(Source.Text.data()[Source.Text.size()], '\0') << Case.Name;
  }
}

struct TDecodeCase {
  const char *Name;
  TSourceEncoding Encoding;
  std::string Bytes;
  std::string Text;
};

TEST(SourceText, DecodingGivesValidUTF8) {
  const TDecodeCase Cases[] = {
      {"auto: valid UTF-8 as it is", TSourceEncoding::Auto, "\xC3\xA9\xE2\x82\xAC", "\xC3\xA9\xE2\x82\xAC"},
      {"auto: otherwise Windows-1252", TSourceEncoding::Auto, "\x80\xE9\x81z", "\xE2\x82\xAC\xC3\xA9\xC2\x81z"},
      {"auto: an overlong form is not UTF-8", TSourceEncoding::Auto, "\xC0\xAF", "\xC3\x80\xC2\xAF"},
      {"auto: a mark wins", TSourceEncoding::Auto, std::string("\xFE\xFF\0\xE9", 4), "\xC3\xA9"},
      {"utf-8: invalid bytes replaced", TSourceEncoding::UTF8, "a\xE9z", "a\xEF\xBF\xBDz"},
      {"utf-8: encoded surrogate replaced", TSourceEncoding::UTF8, "\xED\xA0\x80", "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},
      {"utf-8 mark, then invalid bytes", TSourceEncoding::Windows1252, "\xEF\xBB\xBF\xE9", "\xEF\xBF\xBD"},
      {"windows-1252 even when valid UTF-8", TSourceEncoding::Windows1252, "\xC3\xA9", "\xC3\x83\xC2\xA9"},
      {"latin1", TSourceEncoding::Latin1, "\x80", "\xC2\x80"},
      {"utf-16be without a mark", TSourceEncoding::UTF16BE, std::string("\0a", 2), "a"},
  };
  for (const TDecodeCase &Case : Cases) {
    TSourceText Source;
    DecodeSource(Case.Bytes, Case.Encoding, Source);
    EXPECT_EQ(Source.Text, Case.Text) << Case.Name;
    EXPECT_TRUE(IsValidUTF8(Source.Text)) << Case.Name;
  }
}

// The HTML5 page's text, as its writer puts the source taken by TakeSource.
std::string Html5Text(const std::string &Bytes, TSourceEncoding Encoding) {
  TSourceText Source;
  TakeSource(Bytes, Encoding, Source);
  const TTextTranslator Translator(TTextTarget::HTML5, Source.Form, Source.Text);
  TByteBuffer Buffer;
  TPageWriter Out(Buffer, 0);
  Translator.Put(Out, Source.Text.data(), Source.Text.size());
  Out.Finish();
  return std::string(Buffer.Data(), Buffer.Size());
}

TEST(SourceText, ControlCharactersShowAsTheirSymbolsWhateverTheDecoding) {
  // Tab, LF, FF and CR stay; NUL, Ctrl-Z and DEL become U+2400, U+241A, U+2421.
  const std::string Controls("\t\n\f\r\0\x1A\x7F", 7);
  const std::string Shown = "\t\n\f\r\xE2\x90\x80\xE2\x90\x9A\xE2\x90\xA1";
  for (const auto &[Bytes, Expected] : std::vector<std::pair<std::string, std::string>>{
           {"a" + Controls, "a" + Shown},                         // valid UTF-8
           {"\xE9" + Controls, "\xC3\xA9" + Shown},              // Windows-1252
           {"\xEF\xBB\xBF" + Controls, Shown},                    // a UTF-8 mark
           {std::string(40, 'x') + Controls, std::string(40, 'x') + Shown}}) {
    EXPECT_EQ(Html5Text(Bytes, TSourceEncoding::Auto), Expected);
  }
  EXPECT_TRUE(HasCharactersShownAsSymbols("a\x1A"));
}

// HTML allows C1 controls and noncharacters in no form, not even as
// character references, and no symbol stands for them: each shows as
// U+FFFD in a span whose title keeps its code point.
TEST(SourceText, CharactersHtmlForbidsShowAsReplacementsKeepingTheirCodePoint) {
  const std::string Shown = "\xEF\xBF\xBD</span>";
  const struct {
    const char *Name;
    TSourceEncoding Encoding;
    std::string Bytes, Expected;
  } Cases[] = {
      {"a byte Windows-1252 leaves undefined", TSourceEncoding::Auto, "\x81\x80",
       "<span title=\"U+0081\">" + Shown + "\xE2\x82\xAC"},
      {"Latin-1: C1 controls", TSourceEncoding::Latin1, "\x9F\xA0",
       "<span title=\"U+009F\">" + Shown + "\xC2\xA0"},
      {"UTF-8: NEL", TSourceEncoding::Auto, "x\xC2\x85", "x<span title=\"U+0085\">" + Shown},
      {"UTF-8: noncharacters", TSourceEncoding::UTF8, "\xEF\xB7\x90\xEF\xBF\xBE\xF4\x8F\xBF\xBF",
       "<span title=\"U+FDD0\">" + Shown + "<span title=\"U+FFFE\">" + Shown +
           "<span title=\"U+10FFFF\">" + Shown},
      {"UTF-16: a noncharacter of plane 1", TSourceEncoding::UTF16LE,
       std::string("\x3F\xD8\xFF\xDF", 4), "<span title=\"U+1FFFF\">" + Shown},
  };
  for (const auto &Case : Cases)
    EXPECT_EQ(Html5Text(Case.Bytes, Case.Encoding), Case.Expected) << Case.Name;
  EXPECT_TRUE(HasCharactersShownAsSymbols("abc\xC2\x9F"));
  EXPECT_TRUE(HasCharactersShownAsSymbols("\xEF\xBF\xBF"));
  EXPECT_FALSE(HasCharactersShownAsSymbols("\xC2\xA0\xEF\xBF\xBD\xF0\x9F\x98\x80 \t\r\n\f"));
}

TEST(SourceText, EncodingNames) {
  TSourceEncoding Encoding = TSourceEncoding::Auto;
  EXPECT_TRUE(FindSourceEncoding("Windows-1252", Encoding));
  EXPECT_EQ(Encoding, TSourceEncoding::Windows1252);
  EXPECT_TRUE(FindSourceEncoding("UTF-16LE", Encoding));
  EXPECT_EQ(Encoding, TSourceEncoding::UTF16LE);
  EXPECT_FALSE(FindSourceEncoding("ebcdic", Encoding));
}

} // namespace
