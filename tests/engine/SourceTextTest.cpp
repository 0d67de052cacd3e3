// Byte-order marks and source decoding.
#include <gtest/gtest.h>

#include "SourceText.h"

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

TEST(SourceText, EncodingNames) {
  TSourceEncoding Encoding = TSourceEncoding::Auto;
  EXPECT_TRUE(FindSourceEncoding("Windows-1252", Encoding));
  EXPECT_EQ(Encoding, TSourceEncoding::Windows1252);
  EXPECT_TRUE(FindSourceEncoding("UTF-16LE", Encoding));
  EXPECT_EQ(Encoding, TSourceEncoding::UTF16LE);
  EXPECT_FALSE(FindSourceEncoding("ebcdic", Encoding));
}

} // namespace
