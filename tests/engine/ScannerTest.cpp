// The scanner's tables and helper functions.
#include <gtest/gtest.h>

#include <cstring>
#include <set>

#include "ReferenceModel.h"
#include "Scanner.h"

namespace {

std::string MembersOf(TCharSet Set) {
  std::string Members;
  for (int C = 0; C < 256; ++C)
    if (IsIn(static_cast<unsigned char>(C), Set))
      Members += static_cast<char>(C);
  return Members;
}

TEST(CharClasses, SetsHoldExactlyTheirMembers) {
  EXPECT_EQ(MembersOf(csSymbol), "!%()*+,-./:;=?@[\\]^`{|}~");
  EXPECT_EQ(MembersOf(csDecimal), ".0123456789");
  EXPECT_EQ(MembersOf(csHex), "$0123456789ABCDEFabcdef");
  EXPECT_EQ(MembersOf(csIdent), "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ_abcdefghijklmnopqrstuvwxyz");
  std::string Entities, Letters, Others;
  for (int C = 0; C < 256; ++C) {
    const auto Start = TokenStartOf(static_cast<unsigned char>(C));
    if (Start == tsEntity)
      Entities += static_cast<char>(C);
    if (Start == tsLetter)
      Letters += static_cast<char>(C);
    if (Start == tsOther)
      Others += static_cast<char>(C);
  }
  EXPECT_EQ(Entities, "\"&<>");
  EXPECT_EQ(Letters, "ABCDEFGHIJKLMNOPQRSTUVWXYZ_abcdefghijklmnopqrstuvwxyz");
  // Controls, the blank and every byte from 127 up; nothing else.
  EXPECT_EQ(Others.size(), 33u + 129u);
  EXPECT_EQ(TokenStartOf('#'), tsHash);
  EXPECT_EQ(TokenStartOf('\''), tsQuote);
  EXPECT_EQ(TokenStartOf('$'), tsDollar);
  EXPECT_EQ(TokenStartOf('/'), tsSlash);
  EXPECT_EQ(TokenStartOf('{'), tsBrace);
  EXPECT_EQ(TokenStartOf('('), tsParen);
  EXPECT_EQ(TokenStartOf('7'), tsDigit);
}

TEST(ReservedWords, TableHoldsNinetyNineDistinctLowerCaseWords) {
  std::set<std::string> Words(std::begin(ReservedWords), std::end(ReservedWords));
  EXPECT_EQ(Words.size(), 99u);
  // Word for word against the list written out in the test model, so a
  // misspelt word no golden page holds still shows.
  static_assert(std::size(ReservedWords) == std::size(ModelReservedWords));
  for (size_t K = 0; K < std::size(ReservedWords); ++K)
    EXPECT_STREQ(ReservedWords[K], ModelReservedWords[K]) << K;
}

TEST(ReservedWords, EveryWordIsFoundInAnyLetterCase) {
  for (const char *Word : ReservedWords) {
    std::string Upper = Word, Mixed = Word;
    for (size_t K = 0; K < Upper.size(); ++K) {
      Upper[K] = static_cast<char>(std::toupper(Upper[K]));
      if (K % 2 == 0)
        Mixed[K] = Upper[K];
    }
    EXPECT_TRUE(IsReservedWord(Word)) << Word;
    EXPECT_TRUE(IsReservedWord(Upper)) << Upper;
    EXPECT_TRUE(IsReservedWord(Mixed)) << Mixed;
  }
}

TEST(ReservedWords, NearMissesAreIdentifiers) {
  for (const char *Id : {"beginning", "beg", "x", "_begin", "begin_", "begin1", "en", "ends",
                         "stringresources", "implementations", "a", "", "Begi", "b3gin"})
    EXPECT_FALSE(IsReservedWord(Id)) << Id;
  // Folding only touches letters: "_" and digits never turn into letters.
  EXPECT_FALSE(IsReservedWord("\x7F"
                              "nd"));
}

TEST(ReservedWords, HashLookupAgreesWithALinearSearch) {
  // Every identifier of up to three letters from a small alphabet, and all
  // words one edit away from a reserved word.
  auto Linear = [](const std::string &Id) {
    for (const char *Word : ReservedWords)
      if (strcasecmp(Word, Id.c_str()) == 0)
        return true;
    return false;
  };
  const std::string Alphabet = "adinostxADINOSTX_1";
  std::vector<std::string> Ids;
  for (char A : Alphabet) {
    Ids.push_back(std::string(1, A));
    for (char B : Alphabet) {
      Ids.push_back(std::string{A, B});
      for (char C : Alphabet)
        Ids.push_back(std::string{A, B, C});
    }
  }
  for (const char *Word : ReservedWords)
    for (size_t K = 0; K < std::strlen(Word); ++K) {
      std::string Changed = Word;
      Changed[K] = 'q';
      Ids.push_back(Changed);
      Ids.push_back(std::string(Word).erase(K, 1));
    }
  for (const std::string &Id : Ids)
    ASSERT_EQ(IsReservedWord(Id), Linear(Id)) << Id;
}

TEST(ScannerHelpers, ExtractIdentTakesTheRunOfIdentifierBytes) {
  EXPECT_EQ(ExtractIdent("x", 1), "x");
  EXPECT_EQ(ExtractIdent("a_1b+c", 1), "a_1b");
  EXPECT_EQ(ExtractIdent("a_1b+c", 6), "c");
  EXPECT_EQ(ExtractIdent("na\xE9me", 1), "na");
}

TEST(ScannerHelpers, EscapeHTMLReplacesExactlyTheFourCharacters) {
  EXPECT_EQ(EscapeHTML(""), "");
  EXPECT_EQ(EscapeHTML("a<b>&\"c\"'"), "a&lt;b&gt;&amp;&quot;c&quot;'");
  EXPECT_EQ(EscapeHTML("&amp;"), "&amp;amp;");
  EXPECT_EQ(EscapeHTML(std::string("\0\xFF\r\n", 4)), std::string("\0\xFF\r\n", 4));
  EXPECT_STREQ(HTMLEntities[0], "&amp;");
  EXPECT_STREQ(HTMLEntities[3], "&quot;");
}

} // namespace
