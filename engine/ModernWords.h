// The words the modern dialect looks up: every word some mode of Free
// Pascal or Delphi reserves, and the directives, which the compilers
// reserve only where they act as directives. A word's entry says in which
// modes it is reserved and in which places it is a directive; the scan
// decides from its mode and context (ModernRules.cpp). Found, as in
// ReservedWords.h, by a perfect hash of the case-folded word.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "PascalMode.h"
#include "ReservedWords.h"

namespace ModernWords {

/// Where a directive word is one (see TScan::ModernWordElement); a word
/// without dfShown is shown as an identifier even there, but is still a
/// directive to what follows it ("overload; virtual;").
inline constexpr uint8_t dfRoutine = 1;     // after a routine heading: "virtual", "external ... name"
inline constexpr uint8_t dfProperty = 2;    // in a property: "read", "write", "default"
inline constexpr uint8_t dfVisibility = 4;  // a class's sections: "private", "published"
inline constexpr uint8_t dfParam = 8;       // a parameter's kind: "out"
inline constexpr uint8_t dfAfterClass = 16; // after "class": "class abstract", "class operator"
inline constexpr uint8_t dfAfterValue = 64; // only after a value: "X: Integer absolute Y"
inline constexpr uint8_t dfShown = 32;

/// What a reserved word does to the context of the words after it.
enum TWordRole : uint8_t {
  wrPlain,
  wrHeading,    // procedure function constructor destructor operator
  wrProperty,   // property
  wrTypeOpener, // class object record
  wrValue,      // string nil: a directive may follow
  wrAsm,
  wrEnd,
};

/// Never a keyword of Free Pascal's, in any mode.
inline constexpr uint8_t NeverFpc = 0xFF;

struct TWord {
  const char *Text;
  uint8_t FpcNeeds; // the ModeKeys a Free Pascal mode must have to reserve it; 0: all
  bool Delphi;      // reserved by Delphi
  uint8_t Directive;
  TWordRole Role;
};

// clang-format off
inline constexpr TWord Words[] = {
    {"and", 0, true, 0, wrPlain},
    {"array", 0, true, 0, wrPlain},
    {"begin", 0, true, 0, wrPlain},
    {"case", 0, true, 0, wrPlain},
    {"const", 0, true, 0, wrPlain},
    {"div", 0, true, 0, wrPlain},
    {"do", 0, true, 0, wrPlain},
    {"downto", 0, true, 0, wrPlain},
    {"else", 0, true, 0, wrPlain},
    {"end", 0, true, 0, wrEnd},
    {"file", 0, true, 0, wrPlain},
    {"for", 0, true, 0, wrPlain},
    {"function", 0, true, 0, wrHeading},
    {"goto", 0, true, 0, wrPlain},
    {"if", 0, true, 0, wrPlain},
    {"in", 0, true, 0, wrPlain},
    {"label", 0, true, 0, wrPlain},
    {"mod", 0, true, 0, wrPlain},
    {"nil", 0, true, 0, wrValue},
    {"not", 0, true, 0, wrPlain},
    {"of", 0, true, 0, wrPlain},
    {"or", 0, true, 0, wrPlain},
    {"packed", 0, true, 0, wrPlain},
    {"procedure", 0, true, 0, wrHeading},
    {"program", 0, true, 0, wrPlain},
    {"record", 0, true, 0, wrTypeOpener},
    {"repeat", 0, true, 0, wrPlain},
    {"set", 0, true, 0, wrPlain},
    {"then", 0, true, 0, wrPlain},
    {"to", 0, true, 0, wrPlain},
    {"type", 0, true, 0, wrPlain},
    {"until", 0, true, 0, wrPlain},
    {"var", 0, true, 0, wrPlain},
    {"while", 0, true, 0, wrPlain},
    {"with", 0, true, 0, wrPlain},
    {"xor", 0, true, 0, wrPlain},
    {"asm", 0, true, 0, wrAsm},
    {"shl", 0, true, 0, wrPlain},
    {"shr", 0, true, 0, wrPlain},
    {"unit", 0, true, 0, wrPlain},
    {"uses", 0, true, 0, wrPlain},
    {"object", 0, true, 0, wrTypeOpener},
    {"string", 0, true, 0, wrValue},
    {"exports", 0, true, 0, wrPlain},
    {"library", 0, true, 0, wrPlain},
    {"inherited", 0, true, 0, wrPlain},
    {"interface", 0, true, 0, wrPlain},
    {"threadvar", 0, true, 0, wrPlain},
    {"destructor", 0, true, 0, wrHeading},
    {"constructor", 0, true, 0, wrHeading},
    {"implementation", 0, true, 0, wrPlain},
    {"resourcestring", 0, true, 0, wrPlain},
    {"as", ModeKeys::Class, true, 0, wrPlain},
    {"is", ModeKeys::Class, true, 0, wrPlain},
    {"class", ModeKeys::Class, true, 0, wrTypeOpener},
    {"dispinterface", ModeKeys::Class, true, 0, wrPlain},
    {"try", ModeKeys::Except, true, 0, wrPlain},
    {"raise", ModeKeys::Except, true, 0, wrPlain},
    {"except", ModeKeys::Except, true, 0, wrPlain},
    {"finally", ModeKeys::Except, true, 0, wrPlain},
    {"property", ModeKeys::Property, true, 0, wrProperty},
    {"initialization", ModeKeys::InitFinal, true, 0, wrPlain},
    {"finalization", ModeKeys::InitFinal, true, 0, wrPlain},
    {"operator", ModeKeys::Fpc, false, dfAfterClass | dfShown, wrHeading},
    {"cppclass", ModeKeys::Fpc, false, 0, wrPlain},
    {"bitpacked", 0, false, 0, wrPlain},
    {"otherwise", 0, false, 0, wrPlain},
    {"objcclass", ModeKeys::ObjC, false, 0, wrPlain},
    {"objcprotocol", ModeKeys::ObjC, false, 0, wrPlain},
    {"objccategory", ModeKeys::ObjC, false, 0, wrPlain},
    {"univ", ModeKeys::Mac, false, 0, wrPlain},
    {"return", ModeKeys::Mac, false, 0, wrPlain},
    {"inline", NeverFpc, true, dfRoutine | dfShown, wrPlain},
    {"out", NeverFpc, true, dfParam | dfShown, wrPlain},
    {"absolute", NeverFpc, false, dfAfterValue | dfShown, wrPlain},
    {"abstract", NeverFpc, false, dfRoutine | dfAfterClass | dfShown, wrPlain},
    {"assembler", NeverFpc, false, dfRoutine | dfShown, wrPlain},
    {"automated", NeverFpc, false, dfVisibility | dfShown, wrPlain},
    {"cdecl", NeverFpc, false, dfRoutine | dfShown, wrPlain},
    {"default", NeverFpc, false, dfProperty | dfShown, wrPlain},
    {"dispid", NeverFpc, false, dfRoutine | dfProperty | dfShown, wrPlain},
    {"dynamic", NeverFpc, false, dfRoutine | dfShown, wrPlain},
    {"export", NeverFpc, false, dfRoutine | dfShown, wrPlain},
    {"external", NeverFpc, false, dfRoutine | dfShown, wrPlain},
    {"far", NeverFpc, false, dfRoutine | dfShown, wrPlain},
    {"forward", NeverFpc, false, dfRoutine | dfShown, wrPlain},
    {"implements", NeverFpc, false, dfProperty | dfShown, wrPlain},
    {"index", NeverFpc, false, dfRoutine | dfProperty | dfShown, wrPlain},
    {"message", NeverFpc, false, dfRoutine | dfShown, wrPlain},
    {"name", NeverFpc, false, dfRoutine | dfShown, wrPlain},
    {"near", NeverFpc, false, dfRoutine | dfShown, wrPlain},
    {"nodefault", NeverFpc, false, dfProperty | dfShown, wrPlain},
    {"override", NeverFpc, false, dfRoutine | dfShown, wrPlain},
    {"pascal", NeverFpc, false, dfRoutine | dfShown, wrPlain},
    {"private", NeverFpc, false, dfVisibility | dfShown, wrPlain},
    {"protected", NeverFpc, false, dfVisibility | dfShown, wrPlain},
    {"public", NeverFpc, false, dfRoutine | dfVisibility | dfShown, wrPlain},
    {"published", NeverFpc, false, dfVisibility | dfShown, wrPlain},
    {"read", NeverFpc, false, dfProperty | dfShown, wrPlain},
    {"readonly", NeverFpc, false, dfProperty | dfShown, wrPlain},
    {"register", NeverFpc, false, dfRoutine | dfShown, wrPlain},
    {"resident", NeverFpc, false, dfRoutine | dfShown, wrPlain},
    {"safecall", NeverFpc, false, dfRoutine | dfShown, wrPlain},
    {"stdcall", NeverFpc, false, dfRoutine | dfShown, wrPlain},
    {"stored", NeverFpc, false, dfProperty | dfShown, wrPlain},
    {"virtual", NeverFpc, false, dfRoutine | dfShown, wrPlain},
    {"write", NeverFpc, false, dfProperty | dfShown, wrPlain},
    {"writeonly", NeverFpc, false, dfProperty | dfShown, wrPlain},
    {"overload", NeverFpc, false, dfRoutine, wrPlain},
    {"reintroduce", NeverFpc, false, dfRoutine, wrPlain},
    {"static", NeverFpc, false, dfRoutine, wrPlain},
    {"deprecated", NeverFpc, false, dfRoutine, wrPlain},
    {"platform", NeverFpc, false, dfRoutine, wrPlain},
    {"experimental", NeverFpc, false, dfRoutine, wrPlain},
    {"unimplemented", NeverFpc, false, dfRoutine, wrPlain},
    {"final", NeverFpc, false, dfRoutine, wrPlain},
    {"sealed", NeverFpc, false, dfRoutine | dfAfterClass, wrPlain},
    {"varargs", NeverFpc, false, dfRoutine, wrPlain},
    {"cvar", NeverFpc, false, dfRoutine, wrPlain},
    {"alias", NeverFpc, false, dfRoutine, wrPlain},
    {"nostackframe", NeverFpc, false, dfRoutine, wrPlain},
    {"noreturn", NeverFpc, false, dfRoutine, wrPlain},
    {"compilerproc", NeverFpc, false, dfRoutine, wrPlain},
    {"iocheck", NeverFpc, false, dfRoutine, wrPlain},
    {"interrupt", NeverFpc, false, dfRoutine, wrPlain},
    {"local", NeverFpc, false, dfRoutine, wrPlain},
    {"winapi", NeverFpc, false, dfRoutine, wrPlain},
    {"vectorcall", NeverFpc, false, dfRoutine, wrPlain},
    {"cppdecl", NeverFpc, false, dfRoutine, wrPlain},
    {"mwpascal", NeverFpc, false, dfRoutine, wrPlain},
    {"hardfloat", NeverFpc, false, dfRoutine, wrPlain},
    {"softfloat", NeverFpc, false, dfRoutine, wrPlain},
    {"syscall", NeverFpc, false, dfRoutine, wrPlain},
    {"oldfpccall", NeverFpc, false, dfRoutine, wrPlain},
    {"rtlproc", NeverFpc, false, dfRoutine, wrPlain},
    {"internproc", NeverFpc, false, dfRoutine, wrPlain},
    {"internconst", NeverFpc, false, dfRoutine, wrPlain},
    {"weakexternal", NeverFpc, false, dfRoutine, wrPlain},
    {"section", NeverFpc, false, dfRoutine, wrPlain},
    {"helper", NeverFpc, false, dfRoutine, wrPlain},
    {"strict", NeverFpc, false, dfVisibility, wrPlain},
    {"delayed", NeverFpc, false, dfRoutine, wrPlain},
};
// clang-format on
inline constexpr size_t WordCount = sizeof(Words) / sizeof(Words[0]);

/// Whether the word is reserved under Keys (see ModeKeys).
constexpr bool IsReservedIn(const TWord &W, uint8_t Keys) {
  if (Keys & ModeKeys::Delphi)
    return W.Delphi;
  return W.FpcNeeds != NeverFpc && (Keys & W.FpcNeeds) == W.FpcNeeds;
}

inline constexpr int SlotBits = 10;
inline constexpr size_t Slots = size_t(1) << SlotBits;

// The multiplier was found by trying odd numbers until the words took
// different slots; TWordTable checks that they still do.
constexpr size_t WordSlotOf(const ReservedWordHash::TFoldedWord &W) {
  return static_cast<size_t>(((W.Low ^ W.High) * 0x3A08C84420432BCFull) >> (64 - SlotBits));
}

struct TWordTable {
  ReservedWordHash::TFoldedWord Slot[Slots];
  uint8_t Index[Slots] = {}; // the word's place in Words
  uint32_t LastLetters[16][32] = {};
  bool Collides = false;
  size_t Longest = 0, Shortest = 16;
  constexpr TWordTable() : Slot() {
    for (size_t K = 0; K < WordCount; ++K) {
      const char *Word = Words[K].Text;
      const size_t Length = std::char_traits<char>::length(Word);
      const ReservedWordHash::TFoldedWord Folded = ReservedWordHash::FoldWord(Word, Length);
      const size_t At = WordSlotOf(Folded);
      Collides = Collides || Slot[At] != ReservedWordHash::TFoldedWord();
      Slot[At] = Folded;
      Index[At] = static_cast<uint8_t>(K);
      LastLetters[Length][Word[0] & 31] |= uint32_t(1) << (Word[Length - 1] & 31);
      Longest = Length > Longest ? Length : Longest;
      Shortest = Length < Shortest ? Length : Shortest;
    }
  }
  /// The entry of the identifier of Length bytes at Word, of which
  /// Readable bytes can be read, or null.
  const TWord *Find(const char *Word, size_t Length, size_t Readable) const {
    if (Length < 2 || Length > 15 ||
        !((LastLetters[Length][Word[0] & 31] >> (Word[Length - 1] & 31)) & 1))
      return nullptr;
    const ReservedWordHash::TFoldedWord Folded =
        Readable >= 16 ? ReservedWordHash::FoldWordFast(Word, Length)
                       : ReservedWordHash::FoldWord(Word, Length);
    const size_t At = WordSlotOf(Folded);
    return Slot[At] == Folded ? &Words[Index[At]] : nullptr;
  }
};
inline constexpr TWordTable Table;
static_assert(!Table.Collides, "two words share a slot");
static_assert(WordCount < 256 && Table.Shortest >= 2 && Table.Longest <= 15,
              "indexes are bytes; the sieve has rows 2 to 15");

} // namespace ModernWords
