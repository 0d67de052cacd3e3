// The engine against a deliberately plain model of the highlighting rules:
// 1-based positions, a delimiter search that skips the text's last byte,
// a linear search through the reserved words, markup switched exactly
// step by step. The engine takes shortcuts (a class table, a hash table,
// memchr, runs of other bytes, a precomputed progress threshold); random
// texts under random schemes must not be able to tell the two apart.
#include <gtest/gtest.h>

#include <random>

#include "Scanner.h"
#include "TestSupport.h"

namespace {

class TModel {
public:
  TColor Colors[8];
  bool Defaults[8];
  TFontStyles Styles[8];
  bool HasProgress = true;
  int StopAtCall = -1; // the progress call (0-based) that asks to stop

  std::string Body;
  std::vector<int> Progress;
  bool Completed = false;

  void Run(const std::string &Plain) {
    T = " " + Plain; // T[1] is the first byte
    Len = static_cast<int64_t>(Plain.size());
    Styles[heWhitespace] = 0;
    for (int E = 0; E < 8; ++E) {
      const int S = Styles[E];
      SO[E] = std::string(S & 1 ? "<B>" : "") + (S & 2 ? "<I>" : "") + (S & 4 ? "<U>" : "") +
              (S & 8 ? "<STRIKE>" : "");
      SC[E] = std::string(S & 8 ? "</STRIKE>" : "") + (S & 4 ? "</U>" : "") +
              (S & 2 ? "</I>" : "") + (S & 1 ? "</B>" : "");
      const bool Plain = Defaults[E] || Colors[E] == Colors[heIdentifier];
      FO[E] = Plain ? "" : "<FONT COLOR=\"" + ColorToHTML(Colors[E]) + "\">";
      FC[E] = Plain ? "" : "</FONT>";
    }
    Report(1);
    int64_t i = 0, LastPercent = 0;
    while (i < Len && !Cancel) {
      SwitchTo(heWhitespace);
      i = i + 1;
      const unsigned char c = T[i];
      int64_t e = i;
      if (c == '#') {
        while (e + 1 <= Len && T[e + 1] >= '0' && T[e + 1] <= '9')
          ++e;
        SwitchTo(heString);
        Body += T.substr(i, e - i + 1);
      } else if (c == '\'') {
        int64_t p = FindDelimiter("'", i + 1);
        e = p ? p : Len;
        SwitchTo(heString);
        Body += EscapeHTML(T.substr(i, e - i + 1));
      } else if (c == '/' && i < Len && T[i + 1] == '/') {
        e = Len;
        for (int64_t p = i + 2; p <= Len; ++p)
          if (T[p] == '\r' || T[p] == '\n') {
            e = p - 1;
            break;
          }
        SwitchTo(heComment);
        Body += EscapeHTML(T.substr(i, e - i + 1));
      } else if (c == '/') {
        Body += T[i];
      } else if (c == '{') {
        int64_t p = FindDelimiter("}", i);
        e = p ? p : Len;
        SwitchTo(heComment);
        Body += EscapeHTML(T.substr(i, e - i + 1));
      } else if (c == '(' && i < Len && T[i + 1] == '*') {
        int64_t p = FindDelimiter("*)", i + 2);
        if (p == 0)
          p = Len;
        e = p + 1;
        SwitchTo(heComment);
        Body += EscapeHTML(T.substr(i, e - i + 1));
      } else if (IsLetter(c)) {
        while (e + 1 <= Len && (IsLetter(T[e + 1]) || IsDigit(T[e + 1])))
          ++e;
        const std::string Id = T.substr(i, e - i + 1);
        bool Reserved = false;
        for (const char *Word : ReservedWords)
          if (SameText(Id, Word)) {
            Reserved = true;
            break;
          }
        SwitchTo(Reserved ? heReservedWord : heIdentifier);
        Body += Id;
        if (e * 100 / Len > LastPercent && HasProgress) {
          LastPercent = e * 100 / Len;
          Report(static_cast<int>(LastPercent));
        }
      } else if (c == '$' || IsDigit(c)) {
        const std::string Run = c == '$' ? "$0123456789ABCDEFabcdef" : "0123456789.";
        while (e + 1 <= Len && Run.find(static_cast<char>(T[e + 1])) != std::string::npos)
          ++e;
        SwitchTo(heNumber);
        Body += T.substr(i, e - i + 1);
      } else if (c == '&' || c == '<' || c == '>' || c == '"') {
        SwitchTo(heSymbol);
        Body += EscapeHTML(std::string(1, static_cast<char>(c)));
      } else if (IsSymbol(c)) {
        while (e + 1 <= Len && IsSymbol(T[e + 1]))
          ++e;
        SwitchTo(heSymbol);
        Body += T.substr(i, e - i + 1);
      } else {
        Body += T[i];
      }
      i = e;
    }
    SwitchTo(heWhitespace);
    Completed = !Cancel;
    if (Cancel)
      Body.clear();
    Report(Cancel ? 0 : 100);
  }

private:
  static bool IsLetter(unsigned char C) {
    return (C >= 'a' && C <= 'z') || (C >= 'A' && C <= 'Z') || C == '_';
  }
  static bool IsDigit(unsigned char C) { return C >= '0' && C <= '9'; }
  static bool IsSymbol(unsigned char C) {
    return C != 0 &&
           std::string("!%()*+,-./:;=?@[\\]^`{|}~").find(static_cast<char>(C)) != std::string::npos;
  }
  static bool SameText(const std::string &A, const std::string &B) {
    if (A.size() != B.size())
      return false;
    for (size_t K = 0; K < A.size(); ++K) {
      char X = A[K], Y = B[K];
      if (X >= 'A' && X <= 'Z')
        X = char(X + 32);
      if (Y >= 'A' && Y <= 'Z')
        Y = char(Y + 32);
      if (X != Y)
        return false;
    }
    return true;
  }
  int64_t FindDelimiter(const std::string &D, int64_t From) const {
    for (int64_t p = From; p <= Len - 1; ++p)
      if (T[p] == D[0] && T.compare(p, D.size(), D) == 0)
        return p;
    return 0;
  }
  void Report(int Percent) {
    if (!HasProgress)
      return;
    if (static_cast<int>(Progress.size()) == StopAtCall)
      Cancel = true;
    Progress.push_back(Percent);
  }
  void SwitchTo(int E) {
    if (E == Current)
      return;
    if (E == StyleElement)
      ChangeColor(E, false);
    else if (E == heWhitespace && OpenStyle >= 0 && !(OpenStyle & (4 | 8)))
      ;
    else if (Styles[E] == OpenStyle)
      ChangeColor(E, true);
    else {
      Body += SC[StyleElement];
      ChangeColor(E, false);
      Body += SO[E];
      OpenStyle = Styles[E];
      StyleElement = E;
    }
    Current = E;
  }
  void ChangeColor(int E, bool WithStyle) {
    if (Colors[ColorElement] == Colors[E])
      return;
    if (WithStyle)
      Body += SC[StyleElement];
    if (ColorOpened)
      Body += FC[ColorElement];
    Body += FO[E];
    ColorOpened = true;
    if (WithStyle)
      Body += SO[E];
    ColorElement = E;
  }

  std::string T;
  int64_t Len = 0;
  bool Cancel = false;
  std::string SO[8], SC[8], FO[8], FC[8];
  int Current = 0, StyleElement = 0, ColorElement = 0, OpenStyle = -1;
  // The body starts in the background colour without a FONT tag of its
  // own, so the first colour change has nothing to close.
  bool ColorOpened = false;
};

// Texts dense in the bytes that start, end or split tokens.
std::string RandomText(std::mt19937 &Random) {
  static const std::vector<std::string> Pieces = {
      "begin", "End",  "NAME", "x",     "_a1", "beginning", "'",  "''", "#",  "#13",
      "$",     "$FF",  "0..9", "1.5E3", "{",   "}",         "(*", "*)", "(",  ")",
      "*",     "//",   "/",    "\r\n",  "\n",  "\r",        " ",  "  ", "\t", "&",
      "<",     ">",    "\"",   ":=",    ";",   ".",         ",",  "@",  "^",  std::string(1, '\0'),
      "\x80",  "\xff", "asm",  "mov",   "x2",  "Z"};
  std::uniform_int_distribution<size_t> Count(0, 40), Pick(0, Pieces.size() - 1);
  std::string Text;
  for (size_t N = Count(Random); N > 0; --N)
    Text += Pieces[Pick(Random)];
  return Text;
}

void RandomScheme(std::mt19937 &Random, TTessaline &Converter, TModel &Model) {
  static const TColor Palette[] = {clBlack, clWhite, clNavy, clRed, 0x123456, clBtnFace, clNone};
  std::uniform_int_distribution<int> Color(0, 6), Flag(0, 1), Style(0, 15);
  for (int K = 0; K < 8; ++K) {
    const auto E = static_cast<THighlightElement>(K);
    Converter.SetElementColor(E, Palette[Color(Random)]);
    Converter.SetElementDefault(E, Flag(Random) != 0);
    // Most elements plain or bold, so the lazy markup has runs to share.
    Converter.SetElementStyle(E, Flag(Random) ? static_cast<TFontStyles>(Style(Random)) : 0);
    Model.Colors[K] = Converter.ElementColor(E);
    Model.Defaults[K] = Converter.ElementDefault(E);
    Model.Styles[K] = Converter.ElementStyle(E);
  }
}

TEST(ReferenceModel, RandomTextsUnderRandomSchemesGiveTheModelsPageAndProgress) {
  std::mt19937 Random(20261208);
  for (int Round = 0; Round < 4000; ++Round) {
    TTessaline Converter;
    TModel Model;
    RandomScheme(Random, Converter, Model);
    const std::string Text = RandomText(Random);
    std::vector<int> Progress;
    Converter.SetOnProgress([&Progress](TTessaline &, int32_t P) { Progress.push_back(P); });
    Converter.SetPlain(Text);
    ASSERT_TRUE(Converter.Convert());
    Model.Run(Text);
    ASSERT_EQ(BodyOf(Converter.HTML()), Model.Body) << "round " << Round << ", text:\n" << Text;
    ASSERT_EQ(Progress, Model.Progress) << "round " << Round << ", text:\n" << Text;
  }
}

TEST(ReferenceModel, StopFromAnyProgressCallEndsLikeTheModel) {
  std::mt19937 Random(7);
  for (int Round = 0; Round < 1000; ++Round) {
    TTessaline Converter;
    TModel Model;
    RandomScheme(Random, Converter, Model);
    const std::string Text = RandomText(Random) + " a b c d e";
    const int StopAt = std::uniform_int_distribution<int>(0, 6)(Random);
    std::vector<int> Progress;
    Converter.SetOnProgress([&](TTessaline &Sender, int32_t P) {
      if (static_cast<int>(Progress.size()) == StopAt)
        Sender.Stop();
      Progress.push_back(P);
    });
    Converter.SetPlain(Text);
    Model.StopAtCall = StopAt;
    const bool Completed = Converter.Convert();
    Model.Run(Text);
    ASSERT_EQ(Completed, Model.Completed) << Text;
    ASSERT_EQ(Progress, Model.Progress) << Text;
    if (!Completed) {
      ASSERT_EQ(Converter.HTML(), "");
    }
  }
}

} // namespace
