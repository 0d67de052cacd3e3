#include "TextUtils.h"

#include <cmath>
#include <cstdlib>

namespace {

std::string GroupThousands(uint64_t Value, std::string_view Separator) {
  std::string Digits = std::to_string(Value);
  std::string Result;
  Result.reserve(Digits.size() + Digits.size() / 3);
  for (size_t I = 0; I < Digits.size(); ++I) {
    if (I > 0 && (Digits.size() - I) % 3 == 0)
      Result += Separator;
    Result += Digits[I];
  }
  return Result;
}

// printf's "%.2f" rounds ties to even on the binary value, while sizes are
// rounded half away from zero. A float times 100 is exact in a double, so
// llround sees the true tie.
std::string FormatFixed(float Value, std::string_view DecimalSeparator,
                        std::string_view ThousandSeparator) {
  long long Hundredths = std::llround(static_cast<double>(Value) * 100.0);
  std::string Result = Hundredths < 0 ? "-" : "";
  uint64_t Magnitude = static_cast<uint64_t>(std::llabs(Hundredths));
  Result += GroupThousands(Magnitude / 100, ThousandSeparator);
  Result += DecimalSeparator;
  Result += static_cast<char>('0' + Magnitude / 10 % 10);
  Result += static_cast<char>('0' + Magnitude % 10);
  return Result;
}

// Eight significant digits cannot show a whole number of nine or more
// digits, so such a number is written in exponent form instead. Only whole
// numbers reach here (negative byte counts), which keeps the rounding in
// integers and therefore exact.
std::string FormatGeneral(int64_t Value, std::string_view DecimalSeparator) {
  constexpr uint64_t NineDigits = 100000000;
  uint64_t Mantissa = static_cast<uint64_t>(Value < 0 ? -Value : Value);
  int Exponent = static_cast<int>(std::to_string(Mantissa).size()) - 1;
  uint64_t Divisor = 1;
  while (Mantissa / Divisor >= NineDigits)
    Divisor *= 10;
  uint64_t Remainder = Mantissa % Divisor;
  Mantissa /= Divisor;
  if (Divisor > 1 && Remainder * 2 >= Divisor)
    ++Mantissa;
  if (Mantissa == NineDigits) {
    Mantissa /= 10;
    ++Exponent;
  }
  while (Mantissa % 10 == 0)
    Mantissa /= 10;
  std::string Digits = std::to_string(Mantissa);
  std::string Result = Value < 0 ? "-" : "";
  Result += Digits[0];
  if (Digits.size() > 1) {
    Result += DecimalSeparator;
    Result.append(Digits, 1);
  }
  return Result + "E" + std::to_string(Exponent);
}

int HexDigitValue(char C) {
  if (C >= '0' && C <= '9')
    return C - '0';
  if (C >= 'a' && C <= 'f')
    return C - 'a' + 10;
  if (C >= 'A' && C <= 'F')
    return C - 'A' + 10;
  return -1;
}

bool IsPathSeparator(char C) {
#ifdef _WIN32
  return C == '/' || C == '\\' || C == ':';
#else
  return C == '/';
#endif
}

} // namespace

std::string FormatByteSize(int32_t Count, std::string_view DecimalSeparator,
                           std::string_view ThousandSeparator) {
  struct Unit {
    int32_t Size;
    const char *Name;
  };
  static constexpr Unit Units[] = {{1073741824, " GB"}, {1048576, " MB"}, {1024, " KB"}};
  for (const Unit &U : Units)
    if (Count > U.Size)
      return FormatFixed(static_cast<float>(static_cast<double>(Count) / U.Size), DecimalSeparator,
                         ThousandSeparator) +
             U.Name;

  float Value = static_cast<float>(Count);
  // Only negative counts can grow past eight digits here.
  if (Value <= -100000000.0f)
    return FormatGeneral(static_cast<int64_t>(Value), DecimalSeparator) + " Bytes";
  return FormatFixed(Value, DecimalSeparator, ThousandSeparator) + " Bytes";
}

std::string ExtractField(std::string_view Text, char Delimiter, int32_t Index) {
  std::string Result;
  int32_t Field = 0;
  for (char C : Text) {
    if (Field > Index)
      break;
    if (C == Delimiter)
      ++Field;
    else if (Field == Index)
      Result += C;
  }
  return Result;
}

std::string SpacesToUnderscores(std::string_view Text) {
  std::string Result(Text);
  for (char &C : Result)
    if (C == ' ')
      C = '_';
  return Result;
}

std::string AsciiLowerCase(std::string_view Text) {
  std::string Result(Text);
  for (char &C : Result)
    if (C >= 'A' && C <= 'Z')
      C = char(C - 'A' + 'a');
  return Result;
}

std::string_view Trim(std::string_view Text) {
  auto IsBlank = [](char C) { return static_cast<unsigned char>(C) <= 32; };
  while (!Text.empty() && IsBlank(Text.front()))
    Text.remove_prefix(1);
  while (!Text.empty() && IsBlank(Text.back()))
    Text.remove_suffix(1);
  return Text;
}

std::optional<int32_t> ParseInteger(std::string_view Text) {
  while (!Text.empty() && Text.front() == ' ')
    Text.remove_prefix(1);

  size_t PrefixLength = 0;
  if (!Text.empty() && (Text[0] == '$' || Text[0] == 'x' || Text[0] == 'X'))
    PrefixLength = 1;
  else if (Text.size() >= 2 && Text[0] == '0' && (Text[1] == 'x' || Text[1] == 'X'))
    PrefixLength = 2;

  if (PrefixLength > 0) {
    Text.remove_prefix(PrefixLength);
    if (Text.empty())
      return std::nullopt;
    uint64_t Value = 0;
    for (char C : Text) {
      int Digit = HexDigitValue(C);
      if (Digit < 0)
        return std::nullopt;
      Value = Value * 16 + static_cast<uint64_t>(Digit);
      // Returning at once keeps Value from wrapping on long digit runs.
      if (Value > UINT32_MAX)
        return std::nullopt;
    }
    // Hexadecimal text names a bit pattern, so the top bit is the sign.
    return static_cast<int32_t>(static_cast<uint32_t>(Value));
  }

  bool Negative = false;
  if (!Text.empty() && (Text[0] == '+' || Text[0] == '-')) {
    Negative = Text[0] == '-';
    Text.remove_prefix(1);
  }
  if (Text.empty())
    return std::nullopt;
  // The negative range reaches one further than the positive one.
  const uint64_t Limit = Negative ? uint64_t{1} << 31 : INT32_MAX;
  uint64_t Value = 0;
  for (char C : Text) {
    if (C < '0' || C > '9')
      return std::nullopt;
    Value = Value * 10 + static_cast<uint64_t>(C - '0');
    if (Value > Limit)
      return std::nullopt;
  }
  return static_cast<int32_t>(Negative ? -static_cast<int64_t>(Value)
                                       : static_cast<int64_t>(Value));
}

int32_t ParseIntegerOr(std::string_view Text, int32_t Default) {
  return ParseInteger(Text).value_or(Default);
}

std::string ChangeFileExt(std::string_view FileName, std::string_view Ext) {
  size_t Cut = FileName.size();
  for (size_t I = FileName.size(); I-- > 0;) {
    if (IsPathSeparator(FileName[I]))
      break;
    if (FileName[I] == '.') {
      Cut = I;
      break;
    }
  }
  std::string Result(FileName.substr(0, Cut));
  Result += Ext;
  return Result;
}
