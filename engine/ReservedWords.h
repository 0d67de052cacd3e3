// The reserved words and directives of the Pascal scanner, and how an
// identifier is found among them. The words are hashed, case-folded, into
// a table built at compile time in which every word has a slot of its own
// (a perfect hash): a word is reserved exactly when it equals the one in
// its slot, which takes one multiply, one load and one compare.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

/// The 99 reserved words and directives, lower case, in table order.
// clang-format off
inline constexpr const char *ReservedWords[99] = {
    "and", "exports", "mod", "shr", "array", "file",
    "nil", "string", "as", "finalization", "not", "stringresource",
    "asm", "finally", "object", "then", "begin", "for",
    "of", "threadvar", "case", "function", "or", "to",
    "class", "goto", "out", "try", "const", "if",
    "packed", "type", "constructor", "implementation", "procedure", "unit",
    "destructor", "in", "program", "until", "dispinterface", "inherited",
    "property", "uses", "div", "initialization", "raise", "var",
    "do", "inline", "record", "while", "downto", "interface",
    "repeat", "with", "else", "is", "resourcestring", "xor",
    "end", "label", "set", "except", "library", "shl",
    "absolute", "external", "pascal", "safecall", "abstract", "far",
    "private", "stdcall", "assembler", "forward", "protected", "stored",
    "automated", "index", "public", "virtual", "cdecl", "message",
    "published", "write", "default", "name", "read", "writeonly",
    "dispid", "near", "readonly", "dynamic", "nodefault", "register",
    "export", "override", "resident",
};
// clang-format on

namespace ReservedWordHash {

inline constexpr size_t ShortestWord = 2;
inline constexpr size_t LongestWord = 14;
inline constexpr int SlotBits = 9;
inline constexpr size_t Slots = size_t(1) << SlotBits;

/// A word of at most 16 bytes, little-endian, zero past its end.
struct TFoldedWord {
  uint64_t Low = 0, High = 0;
  constexpr bool operator==(const TFoldedWord &) const = default;
};

// ORing in 0x20 folds A-Z to a-z; the other identifier bytes (digits, "_")
// occur in no reserved word, so whatever they turn into cannot match.
constexpr TFoldedWord FoldWord(const char *Word, size_t Length) {
  TFoldedWord Folded;
  for (size_t K = 0; K < Length; ++K) {
    const uint64_t Byte = static_cast<unsigned char>(Word[K]) | 0x20u;
    (K < 8 ? Folded.Low : Folded.High) |= Byte << (8 * (K % 8));
  }
  return Folded;
}

// The masks that keep the first N of 16 bytes, as two halves; from a
// table, since a test of the length would be a branch that identifiers of
// mixed lengths keep mispredicting.
struct TWordMasks {
  uint64_t Low[17] = {}, High[17] = {};
  constexpr TWordMasks() {
    for (size_t N = 0; N <= 16; ++N)
      for (size_t K = 0; K < N; ++K)
        (K < 8 ? Low[N] : High[N]) |= uint64_t(0xFF) << (8 * (K % 8));
  }
};
inline constexpr TWordMasks WordMasks;

/// FoldWord from two unaligned loads, for words of at most 16 bytes with
/// 16 readable bytes.
inline TFoldedWord FoldWordFast(const char *Word, size_t Length) {
  constexpr uint64_t Fold = 0x2020202020202020ull;
  uint64_t Low, High;
  std::memcpy(&Low, Word, 8);
  std::memcpy(&High, Word + 8, 8);
  return {(Low | Fold) & WordMasks.Low[Length], (High | Fold) & WordMasks.High[Length]};
}

// The multiplier was found by trying odd numbers until the 99 words took
// 99 different slots; TReservedTable checks that they still do.
constexpr size_t SlotOf(const TFoldedWord &W) {
  return static_cast<size_t>(((W.Low ^ W.High) * 0xAE5BDC83967041E1ull) >> (64 - SlotBits));
}

struct TReservedTable {
  // Empty slots hold zero, which no word of at least one byte folds to.
  TFoldedWord Slot[Slots];
  bool Collides = false;
  constexpr TReservedTable() : Slot(), LastLetters() {
    for (const char *Word : ReservedWords) {
      const size_t Length = std::char_traits<char>::length(Word);
      const TFoldedWord Folded = FoldWord(Word, Length);
      TFoldedWord &Entry = Slot[SlotOf(Folded)];
      Collides = Collides || Entry != TFoldedWord();
      Entry = Folded;
      LastLetters[Length][Word[0] & 31] |= uint32_t(1) << (Word[Length - 1] & 31);
    }
  }
  // A first sieve: for each length and first letter, the last letters of
  // reserved words, both taken modulo 32 (so case does not matter, and
  // the few false hits that digits bring only cost the full check). It
  // turns away most identifiers for one load. Rows 0 and 15 hold no word.
  uint32_t LastLetters[16][32] = {};
  bool MayContain(const char *Word, size_t Length) const {
    return (LastLetters[Length][Word[0] & 31] >> (Word[Length - 1] & 31)) & 1;
  }
  // The same for any length, from the word's first and last byte; RowMask
  // is 15 for an identifier and 0 for any other token, which then takes
  // row 0. Longer words take row 15: a minimum, not a test, which would be
  // a branch that words of mixed lengths keep mispredicting.
  unsigned MayContain(unsigned char First, unsigned char Last, size_t Length,
                      unsigned RowMask) const {
    const size_t Row = std::min<size_t>(Length, 15) & RowMask;
    return (LastLetters[Row][First & 31] >> (Last & 31)) & 1;
  }
  // For words of at most LongestWord bytes.
  bool Contains(const TFoldedWord &Word) const {
    const TFoldedWord &Entry = Slot[SlotOf(Word)];
    return ((Entry.Low ^ Word.Low) | (Entry.High ^ Word.High)) == 0;
  }
};
inline constexpr TReservedTable ReservedTable;
static_assert(!ReservedTable.Collides, "two reserved words share a slot");
static_assert(LongestWord < 16, "the sieve has rows 0 to 15 and FoldWordFast 16 bytes");

} // namespace ReservedWordHash

/// Whether the identifier of Length bytes at Word is reserved; Readable is
/// how many bytes may be read from Word.
inline bool IsReservedIdent(const char *Word, size_t Length, size_t Readable) {
  using namespace ReservedWordHash;
  if (Length < ShortestWord || Length > LongestWord || !ReservedTable.MayContain(Word, Length))
    return false;
  return ReservedTable.Contains(Readable >= 16 ? FoldWordFast(Word, Length)
                                               : FoldWord(Word, Length));
}

/// True when Word equals a reserved word with ASCII letters folded.
inline bool IsReservedWord(std::string_view Word) {
  return IsReservedIdent(Word.data(), Word.size(), Word.size());
}
