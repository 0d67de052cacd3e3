// Conditional compilation as the compiler reads it: which symbols a
// compiler predefines, the options that add to them, and the state of one
// scan through {$IFDEF}, {$IF}, {$ELSE}, {$ENDIF} and their kin (TConditions).
//
// What cannot be decided leaves code active: declared(), {$IFOPT}, a
// symbol compared that no option gives a value, and symbols not defined
// after an {$I} include, which might define them. Code is shown as dead
// only when the compiler would certainly skip it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

/// The compiler whose predefined symbols a conversion assumes.
enum class TCompilerTarget : uint8_t { None, FPC, Delphi };
/// Default: the target's own, Linux for Free Pascal, Windows for Delphi.
enum class TTargetOS : uint8_t { Default, Linux, Windows, Darwin };
enum class TTargetCPU : uint8_t { X86_64, I386, AArch64 };

/// One --define or --undefine: NAME, or NAME=VALUE (also NAME:=VALUE) for
/// a symbol with an integer value.
struct TSymbolChange {
  std::string Name;
  bool Define = true;
  bool operator==(const TSymbolChange &) const = default;
};

/// How a conversion of the modern dialect follows conditional directives.
/// Off by default: the pages are then those of the modern dialect alone.
struct TConditionOptions {
  bool Enabled = false;
  TCompilerTarget Target = TCompilerTarget::None;
  TTargetOS OS = TTargetOS::Default;
  TTargetCPU CPU = TTargetCPU::X86_64;
  /// Applied in order after the target's symbols.
  std::vector<TSymbolChange> Changes;
  /// For comparisons with a scanner that does not follow include files
  /// (tests/tools/ScanCompare.cpp): an {$I} then changes no symbol, where
  /// otherwise every symbol not defined becomes unknown.
  bool IncludesDefineNothing = false;
  bool operator==(const TConditionOptions &) const = default;
};

/// Parses a target, OS or CPU name as the options give them ("fpc",
/// "delphi"; "linux", "windows", "darwin"; "x86_64", "i386", "aarch64"),
/// any case. False for another name.
bool ParseCompilerTarget(std::string_view Name, TCompilerTarget &Target);
bool ParseTargetOS(std::string_view Name, TTargetOS &OS);
bool ParseTargetCPU(std::string_view Name, TTargetCPU &CPU);

/// Adds the symbols of a comma- or blank-separated list ("DEBUG,TRACE",
/// "LEVEL=3") to Changes, as defines or as undefines. False, adding
/// nothing, when a name is not an identifier or a value not an integer.
bool AddSymbolChanges(std::string_view List, bool Define, std::vector<TSymbolChange> &Changes);

/// The Defines field of the window: the symbols to define, a "-" before a
/// name to undefine one, and "fpc", "delphi", an OS and a CPU name as
/// "target=fpc", "os=linux", "cpu=i386". Empty text: conditionals off.
/// False on an item it cannot read (the options are then left off).
bool ParseDefinesField(std::string_view Text, TConditionOptions &Options);

/// What a symbol is to a conditional: defined, undefined, or unknown (not
/// defined after an include that might have defined it). A defined symbol
/// may have an integer value.
struct TSymbolState {
  enum : uint8_t { Undefined, Defined, Unknown } State = Undefined;
  bool HasValue = false;
  int64_t Value = 0;
  bool operator==(const TSymbolState &) const = default;
};

/// The symbols a target predefines, upper-case, in the order they are
/// defined; numeric ones with their values.
struct TPredefinedSymbol {
  std::string Name;
  TSymbolState State;
};
std::vector<TPredefinedSymbol> PredefinedSymbols(TCompilerTarget Target, TTargetOS OS,
                                                 TTargetCPU CPU);

/// What a helper thread's scan read from and wrote to the symbols it
/// started with, so that the caller can tell whether the helper's page
/// holds from a given token on (see ScanSplit.h).
struct TConditionLog {
  struct TRead {
    size_t Pos; // the directive that read it
    // The helper's last write of the symbol before it, and its last
    // include before it: indexes into Writes, or NoWrite.
    uint32_t LastWrite, LastInclude;
    uint32_t Name, Length;
    TSymbolState Result;
  };
  struct TWrite {
    size_t Pos;
    uint32_t Name, Length; // Length 0: an include, which touches every undefined symbol
    TSymbolState Value;
  };
  static constexpr uint32_t NoWrite = UINT32_MAX;
  std::vector<TRead> Reads;
  std::vector<TWrite> Writes;
  std::string Names;
  void Clear() {
    Reads.clear();
    Writes.clear();
    Names.clear();
  }
};

/// The state of one scan: the symbols and the stack of open conditionals.
class TConditions {
public:
  /// A state at the start of a text under Options.
  explicit TConditions(const TConditionOptions &Options);

  /// Whether the text at the scan's position is in a branch the compiler
  /// skips.
  bool Skipping() const { return !Stack.empty() && !(Stack.back() & lsActive); }

  /// What a directive did.
  enum TDirectiveKind : uint8_t {
    dkOther,       // no conditional directive
    dkConditional, // it opened, turned or closed a branch
    dkUnderflow,   // an {$ELSE}, {$ELSEIF}, {$ENDIF} or {$IFEND} with none open
  };
  /// Follows the directive whose text (after "{$" or "(*$", without the
  /// closing "}" or "*)") is Body, at position Pos of the text. A directive
  /// that closes nothing changes nothing. In a skipped branch only the
  /// conditionals count.
  TDirectiveKind Follow(std::string_view Body, size_t Pos);
  /// The kind Follow would report for Body, without following it.
  TDirectiveKind KindOf(std::string_view Body) const;

  /// The split: a helper records to Log, which is empty, what it reads
  /// and changes.
  void SetLog(TConditionLog *Value);
  /// Back to the state at the start of a text.
  void Reset();
  /// Closes every open branch, keeping the symbols.
  void CloseBranches() { Stack.clear(); }

  /// The stack as a helper's token mark keeps it: its depth, and its last
  /// eight levels, one byte each. Depth 255: too deep to keep.
  uint8_t MarkDepth() const { return Stack.size() > 8 ? 255 : static_cast<uint8_t>(Stack.size()); }
  uint64_t MarkLevels() const;
  /// Whether a helper whose stack was Depth levels Levels and who read and
  /// changed the symbols as Log says, from position P on, scans as this
  /// state would from P.
  bool AgreesWith(uint8_t Depth, uint64_t Levels, const TConditionLog &Log, size_t P) const;
  /// Takes a helper's state at its end over: its stack, HelperStack, on
  /// top of the levels of ours it never saw (its stack had Depth levels
  /// where we met at P), and its symbol changes after P.
  void TakeOver(uint8_t Depth, const std::vector<uint8_t> &HelperStack, const TConditionLog &Log,
                size_t P);
  const std::vector<uint8_t> &Levels() const { return Stack; }

private:
  // A level of the stack: whether its current branch is active, whether a
  // branch before was taken (no, maybe, yes), whether it was opened in
  // skipped code, where none of its branches can be, and whether its
  // current branch is active only perhaps (a condition undecided, or a
  // branch before perhaps taken).
  static constexpr uint8_t lsActive = 1, lsTakenMaybe = 2, lsTakenYes = 4, lsSkipped = 8,
                           lsUncertain = 16;
  enum TTruth : uint8_t { False, True, Unknown };
  struct TValue;
  class TExpression;

  TSymbolState Lookup(std::string_view Name, size_t Pos);
  void Write(std::string_view Name, const TSymbolState &Value, size_t Pos);
  // A {$DEFINE}, {$UNDEF} or mode symbol: in a branch active only perhaps,
  // a symbol it changes becomes unknown.
  void WriteHere(std::string_view Name, TSymbolState Value, size_t Pos);
  bool Uncertain() const;
  void Include(size_t Pos);
  void SetMode(std::string_view Mode, size_t Pos);
  void Open(TTruth Condition);
  void Turn(TTruth Condition);
  TTruth Evaluate(std::string_view Expression, size_t Pos);
  const std::string &Key(std::string_view Name) const;

  TConditionOptions Options;
  std::unordered_map<std::string, TSymbolState> Start;
  struct TEntry {
    TSymbolState State;
    uint32_t LastWrite = TConditionLog::NoWrite; // in Log
  };
  // A lookup finds a name whatever its case without copying it: the
  // directives of a large text look symbols up all the time.
  struct TNameHash {
    using is_transparent = void;
    size_t operator()(std::string_view Name) const;
  };
  struct TNameEqual {
    using is_transparent = void;
    bool operator()(std::string_view A, std::string_view B) const;
  };
  std::unordered_map<std::string, TEntry, TNameHash, TNameEqual> Symbols;
  bool AfterInclude = false;
  uint32_t LastInclude = TConditionLog::NoWrite; // in Log
  std::vector<uint8_t> Stack;
  TConditionLog *Log = nullptr;
  mutable std::string KeyBuffer; // reused, so that a lookup allocates nothing
};
