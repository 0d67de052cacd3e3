// The three forms of the plain-token search find the same token starts.
// The model tests check the pages; this compares the forms block by block,
// where a difference shows at once.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "PlainSearch.h"

namespace {

TEST(PlainSearch, EveryFormFindsTheStartsOfThePlainOne) {
  const TFindPlainStarts Scalar = ChoosePlainSearch(TPlainSearch::Scalar);
  const TFindPlainStarts Forms[] = {ChoosePlainSearch(TPlainSearch::SSE2),
                                    ChoosePlainSearch(TPlainSearch::AVX2)};
  // Bytes of every class, more often those that start or split runs.
  std::string Alphabet = "aZ_9.0 \t\r\n{}()*/'\"#$&<>;:=%\x7f\x80\xff\x01";
  Alphabet += '\0';
  std::mt19937 Random(64);
  std::string Block(64, ' ');
  for (int Round = 0; Round < 20000; ++Round) {
    for (char &C : Block)
      C = Alphabet[Random() % Alphabet.size()];
    const TPlainStarts Want = Scalar(Block.data());
    for (const TFindPlainStarts Form : Forms) {
      const TPlainStarts Got = Form(Block.data());
      ASSERT_EQ(Got.All, Want.All) << Round;
      ASSERT_EQ(Got.Other, Want.Other) << Round;
      ASSERT_EQ(Got.Symbol, Want.Symbol) << Round;
      ASSERT_EQ(Got.Number, Want.Number) << Round;
      ASSERT_EQ(Got.Stop, Want.Stop) << Round;
      ASSERT_EQ(Got.Openers, Want.Openers) << Round;
    }
  }
}

} // namespace
