// Real Pascal code: a fixed sample of the Free Pascal sources, converted
// under several schemes, must give back the source exactly once the markup
// is stripped and the four entities decoded, and its tags must pair up as
// the lazy markup allows (closed, or still open at "</PRE>").
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <functional>
#include <map>

#include "ColorScheme.h"
#include "FileIO.h"
#include "ReferenceModel.h"
#include "TestSupport.h"

namespace {

namespace fs = std::filesystem;

TEST(SourceTree, FreePascalSourcesSurviveTheRoundTripUnderEveryScheme) {
  if (!fs::exists(FreePascalRoot))
    GTEST_SKIP() << FreePascalRoot << " is missing (Debian package fpc-source-3.2.2)";
  const auto Sample = FreePascalSample(240);
  ASSERT_GE(Sample.size(), 200u);

  // The built-in scheme, the four presets, and one that underlines and
  // strikes out everything in clashing colours, so whitespace closes tags.
  std::vector<std::function<void(TTessaline &)>> Schemes = {[](TTessaline &) {}};
  for (int P = 0; P < ColorPresetCount; ++P)
    Schemes.push_back([P](TTessaline &C) { ApplyColorPreset(C, P); });
  Schemes.push_back([](TTessaline &C) {
    for (int E = 0; E < ElementCount; ++E) {
      const auto El = static_cast<THighlightElement>(E);
      C.SetElementColor(El, 0x010101 * (E * 30));
      C.SetElementStyle(El, static_cast<TFontStyles>(15 - E % 4 * 4));
    }
  });

  size_t Bytes = 0;
  for (const std::string &File : Sample) {
    const std::string Source = ReadFileBytes(File);
    Bytes += Source.size();
    for (size_t S = 0; S < Schemes.size(); ++S) {
      TTessaline Converter;
      Schemes[S](Converter);
      Converter.SetPlain(Source);
      ASSERT_TRUE(Converter.Convert());
      std::string TagError;
      const std::string Back = StripMarkup(BodyOf(Converter.HTML()), TagError);
      ASSERT_EQ(TagError, "") << File << ", scheme " << S;
      ASSERT_TRUE(Back == Source) << File << ", scheme " << S << ": source not given back";
    }
  }
  RecordProperty("files", static_cast<int>(Sample.size()));
  RecordProperty("bytes", static_cast<int>(Bytes));
}

// The modern dialect on real code (directives, asm blocks, every number
// form) against the plain model of its rules, under a scheme where every
// element has its own colour and style.
TEST(SourceTree, FreePascalSourcesGiveTheModernModelsPage) {
  if (!fs::exists(FreePascalRoot))
    GTEST_SKIP() << FreePascalRoot << " is missing (Debian package fpc-source-3.2.2)";
  const auto Sample = FreePascalSample(240);
  size_t Files = 0;
  for (size_t K = 0; K < Sample.size(); K += 3, ++Files) {
    const std::string Source = ReadFileBytes(Sample[K]);
    TTessaline Converter;
    TModel Model;
    Model.Modern = true;
    Converter.SetDialect(TPascalDialect::Modern);
    for (int E = 0; E < ElementCount; ++E) {
      const auto El = static_cast<THighlightElement>(E);
      Converter.SetElementColor(El, 0x010101 * (E * 25 + 5));
      Converter.SetElementStyle(El, static_cast<TFontStyles>(E % 4 == 1 ? 4 : E % 3));
      Model.Colors[E] = Converter.ElementColor(El);
      Model.Defaults[E] = Converter.ElementDefault(El);
      Model.Styles[E] = Converter.ElementStyle(El);
    }
    std::vector<int> Progress;
    Converter.SetOnProgress([&Progress](TTessaline &, int32_t P) { Progress.push_back(P); });
    Converter.SetPlain(Source);
    ASSERT_TRUE(Converter.Convert());
    Model.Run(Source);
    ASSERT_TRUE(BodyOf(Converter.HTML()) == Model.Body) << Sample[K];
    ASSERT_EQ(Progress, Model.Progress) << Sample[K];
  }
  RecordProperty("files", static_cast<int>(Files));
}

} // namespace
