// Text helpers shared by the converter, the settings code and the tools.
// All functions are pure: they keep no state and change nothing but their
// result. Strings are byte strings; nothing here knows about encodings.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

/// The byte count scaled to "Bytes", "KB", "MB" or "GB" with two decimals
/// and thousands grouping, e.g. "1,024.00 Bytes", "1.50 KB".
/// A unit is used only when the count is strictly greater than its size,
/// so 1024 is shown in bytes and 1048576 in KB. The quotient is held in
/// single precision and rounded half away from zero. Negative counts are
/// shown in bytes; one with more than eight digits falls back to a general
/// number with eight significant digits ("-2.1474836E9 Bytes").
/// The separators are the caller's, so a window can pass its locale's
/// (which may take several bytes, like a narrow no-break space).
std::string FormatByteSize(int32_t Count, std::string_view DecimalSeparator = ".",
                           std::string_view ThousandSeparator = ",");

/// Field Index (from 0) of Text cut at every Delimiter byte. Empty when
/// Index is negative or beyond the last field; adjacent delimiters give
/// an empty field. The delimiters never appear in the result.
std::string ExtractField(std::string_view Text, char Delimiter, int32_t Index);

/// Text with every blank (code 32) replaced by "_"; tabs and all other
/// bytes are kept, so the length never changes.
std::string SpacesToUnderscores(std::string_view Text);

/// Text with the ASCII letters A to Z made lower case; every other byte
/// (UTF-8 included) is kept, so names compare without regard to case.
std::string AsciiLowerCase(std::string_view Text);

/// Text without its leading and trailing bytes of code 0 to 32.
std::string_view Trim(std::string_view Text);

/// The integer that stored text holds, or nothing. Leading blanks are
/// skipped; then either an optional sign and decimal digits within the
/// signed 32-bit range, or a hexadecimal prefix ("$", "x", "X", "0x",
/// "0X") and hexadecimal digits whose value fits in 32 bits (so
/// "$FFFFFFFF" is -1). Anything else - empty text, a sign alone, a
/// trailing blank, a value out of range - is not an integer.
std::optional<int32_t> ParseInteger(std::string_view Text);

/// ParseInteger(Text), or Default when Text holds no integer.
int32_t ParseIntegerOr(std::string_view Text, int32_t Default);

/// FileName with its extension replaced by Ext: the name is cut before
/// its last dot unless a path separator ("/", and on Windows also "\" and
/// ":") follows that dot, then Ext is appended. "a.b/c" gives "a.b/c.html".
std::string ChangeFileExt(std::string_view FileName, std::string_view Ext);
