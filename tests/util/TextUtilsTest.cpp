#include "TextUtils.h"

#include <gtest/gtest.h>

TEST(FormatByteSize, ScalesToTheLargestUnitStrictlyExceeded) {
  EXPECT_EQ(FormatByteSize(0), "0.00 Bytes");
  EXPECT_EQ(FormatByteSize(512), "512.00 Bytes");
  EXPECT_EQ(FormatByteSize(1024), "1,024.00 Bytes");
  EXPECT_EQ(FormatByteSize(1025), "1.00 KB");
  EXPECT_EQ(FormatByteSize(1536), "1.50 KB");
  EXPECT_EQ(FormatByteSize(1048576), "1,024.00 KB");
  EXPECT_EQ(FormatByteSize(1048577), "1.00 MB");
  EXPECT_EQ(FormatByteSize(1073741824), "1,024.00 MB");
  EXPECT_EQ(FormatByteSize(1073741825), "1.00 GB");
  EXPECT_EQ(FormatByteSize(2147483647), "2.00 GB");
}

TEST(FormatByteSize, RoundsTiesAwayFromZero) {
  EXPECT_EQ(FormatByteSize(1152), "1.13 KB");    // 1.125
  EXPECT_EQ(FormatByteSize(1664), "1.63 KB");    // 1.625
  EXPECT_EQ(FormatByteSize(1179648), "1.13 MB"); // 1.125
  EXPECT_EQ(FormatByteSize(1029), "1.00 KB");    // 1.0048828125
}

TEST(FormatByteSize, RoundsTheSinglePrecisionQuotient) {
  // 1000.125 MB less one byte: a double keeps it below the tie, a float
  // lands on the tie itself.
  EXPECT_EQ(FormatByteSize(1048707071), "1,000.13 MB");
}

TEST(FormatByteSize, UsesTheCallersSeparators) {
  EXPECT_EQ(FormatByteSize(1536, ",", "."), "1,50 KB");
  EXPECT_EQ(FormatByteSize(1024, ",", "."), "1.024,00 Bytes");
  EXPECT_EQ(FormatByteSize(-12345678, ",", "."), "-12.345.678,00 Bytes");
  EXPECT_EQ(FormatByteSize(-2147483647 - 1, ",", "."), "-2,1474836E9 Bytes");
  EXPECT_EQ(FormatByteSize(1048576, ",", "\u202F"), "1\u202F024,00 KB"); // a French locale
}

TEST(FormatByteSize, ShowsNegativeCountsInBytes) {
  EXPECT_EQ(FormatByteSize(-1), "-1.00 Bytes");
  EXPECT_EQ(FormatByteSize(-1025), "-1,025.00 Bytes");
  EXPECT_EQ(FormatByteSize(-12345678), "-12,345,678.00 Bytes");
  // Past eight digits: eight significant digits and an exponent.
  EXPECT_EQ(FormatByteSize(-2147483647 - 1), "-2.1474836E9 Bytes");
  EXPECT_EQ(FormatByteSize(-123456789),
            "-1.2345679E8 Bytes");                    // float 123456792
  EXPECT_EQ(FormatByteSize(-99999999), "-1E8 Bytes"); // float 1E8
  EXPECT_EQ(FormatByteSize(-1500000000), "-1.5E9 Bytes");
  EXPECT_EQ(FormatByteSize(-2000000000), "-2E9 Bytes");
}

TEST(ExtractField, PicksTheFieldBetweenDelimiters) {
  const std::string_view Text = "0,0,,1,1,0,0";
  EXPECT_EQ(ExtractField(Text, ',', 0), "0");
  EXPECT_EQ(ExtractField(Text, ',', 2), "");
  EXPECT_EQ(ExtractField(Text, ',', 3), "1");
  EXPECT_EQ(ExtractField(Text, ',', 6), "0");
  EXPECT_EQ(ExtractField(Text, ',', 7), "");
  EXPECT_EQ(ExtractField(Text, ',', -1), "");
  EXPECT_EQ(ExtractField("ab;cd;ef", ';', 1), "cd");
  EXPECT_EQ(ExtractField("a,", ',', 1), "");
  EXPECT_EQ(ExtractField(",a", ',', 0), "");
}

TEST(ExtractField, HandlesEmptyTextAndAbsentDelimiter) {
  for (int32_t Index : {-1, 0, 1, 5})
    EXPECT_EQ(ExtractField("", ',', Index), "") << Index;
  EXPECT_EQ(ExtractField("a b", ',', 0), "a b");
  EXPECT_EQ(ExtractField("a b", ',', 1), "");
  EXPECT_EQ(ExtractField("a b", ',', -1), "");
}

TEST(SpacesToUnderscores, ReplacesOnlyBlanks) {
  EXPECT_EQ(SpacesToUnderscores("Reserved word"), "Reserved_word");
  EXPECT_EQ(SpacesToUnderscores("Whitespace (BG)"), "Whitespace_(BG)");
  EXPECT_EQ(SpacesToUnderscores("  a\tb\nc "), "__a\tb\nc_");
  EXPECT_EQ(SpacesToUnderscores(""), "");
}

TEST(AsciiLowerCase, FoldsOnlyAsciiLetters) {
  // "@" and "[" border A and Z; the UTF-8 "Ä" keeps its bytes.
  EXPECT_EQ(AsciiLowerCase("@AZ[ az `{"), "@az[ az `{");
  EXPECT_EQ(AsciiLowerCase("Twi\xc3\x84LIGHT.PAS"), "twi\xc3\x84light.pas");
  EXPECT_EQ(AsciiLowerCase(""), "");
}

TEST(Trim, DropsControlBytesAndBlanksAtBothEnds) {
  EXPECT_EQ(Trim(" \t\r\n a b \x01 "), "a b");
  EXPECT_EQ(Trim(std::string_view("\0x\0", 3)), "x");
  EXPECT_EQ(Trim("   "), "");
  EXPECT_EQ(Trim(""), "");
  EXPECT_EQ(Trim("\xA0x\xFF"), "\xA0x\xFF"); // high bytes are not blanks
}

TEST(ParseInteger, ReadsDecimalWithinTheSignedRange) {
  EXPECT_EQ(ParseInteger("0"), 0);
  EXPECT_EQ(ParseInteger("-0"), 0);
  EXPECT_EQ(ParseInteger("+17"), 17);
  EXPECT_EQ(ParseInteger("-17"), -17);
  EXPECT_EQ(ParseInteger("007"), 7);
  EXPECT_EQ(ParseInteger("   42"), 42);
  EXPECT_EQ(ParseInteger("2147483647"), 2147483647);
  EXPECT_EQ(ParseInteger("-2147483648"), -2147483647 - 1);
  EXPECT_EQ(ParseInteger("2147483648"), std::nullopt);
  EXPECT_EQ(ParseInteger("-2147483649"), std::nullopt);
  EXPECT_EQ(ParseInteger("99999999999999999999999"), std::nullopt);
}

TEST(ParseInteger, ReadsHexadecimalAsA32BitPattern) {
  EXPECT_EQ(ParseInteger("$1F"), 31);
  EXPECT_EQ(ParseInteger("x1f"), 31);
  EXPECT_EQ(ParseInteger("X1F"), 31);
  EXPECT_EQ(ParseInteger("0x1F"), 31);
  EXPECT_EQ(ParseInteger("0XaB"), 171);
  EXPECT_EQ(ParseInteger("  $10"), 16);
  EXPECT_EQ(ParseInteger("$FFFFFFFF"), -1);
  EXPECT_EQ(ParseInteger("$80000000"), -2147483647 - 1);
  EXPECT_EQ(ParseInteger("$7FFFFFFF"), 2147483647);
  EXPECT_EQ(ParseInteger("$000000001"), 1);
  EXPECT_EQ(ParseInteger("$100000000"), std::nullopt);
  EXPECT_EQ(ParseInteger("$FFFFFFFFFFFFFFFFF"), std::nullopt);
}

TEST(ParseInteger, RejectsEverythingElse) {
  for (const char *Text :
       {"",    " ",   "+",   "-",   "$",    "x",   "0x", "0X",   "1 ",  "\t1", "1\t", "1a",
        "+-1", "--1", "- 1", "-$1", "+0x1", "$ 1", "$G", "0x1G", "1.0", "1e3", "0b1"})
    EXPECT_EQ(ParseInteger(Text), std::nullopt) << '"' << Text << '"';
  EXPECT_EQ(ParseInteger(std::string_view("1\0", 2)), std::nullopt);
}

TEST(ParseIntegerOr, FallsBackToTheDefault) {
  EXPECT_EQ(ParseIntegerOr("12", -5), 12);
  EXPECT_EQ(ParseIntegerOr("$FFFFFFFF", 5), -1);
  EXPECT_EQ(ParseIntegerOr("12 ", -5), -5);
  EXPECT_EQ(ParseIntegerOr("", 99), 99);
}

TEST(ChangeFileExt, ReplacesTheExtensionOfTheLastComponent) {
  EXPECT_EQ(ChangeFileExt("a.pas", ".html"), "a.html");
  EXPECT_EQ(ChangeFileExt("a", ".html"), "a.html");
  EXPECT_EQ(ChangeFileExt("a.b.pas", ".html"), "a.b.html");
  EXPECT_EQ(ChangeFileExt(".bashrc", ".html"), ".html");
  EXPECT_EQ(ChangeFileExt("a.", ".html"), "a.html");
  EXPECT_EQ(ChangeFileExt("dir.d/name", ".html"), "dir.d/name.html");
  EXPECT_EQ(ChangeFileExt("a.b/c", ".html"), "a.b/c.html");
  EXPECT_EQ(ChangeFileExt("dir/", ".html"), "dir/.html");
  EXPECT_EQ(ChangeFileExt("/src/unit.pas", ".html"), "/src/unit.html");
  EXPECT_EQ(ChangeFileExt("a.pas", ""), "a");
  EXPECT_EQ(ChangeFileExt("", ".html"), ".html");
#ifdef _WIN32
  EXPECT_EQ(ChangeFileExt("dir.d\\name", ".html"), "dir.d\\name.html");
  EXPECT_EQ(ChangeFileExt("c.d:name", ".html"), "c.d:name.html");
#else
  EXPECT_EQ(ChangeFileExt("dir.d\\name", ".html"), "dir.html");
#endif
}
