// The symbols Free Pascal 3.2.2 and Delphi 12 predefine, by target.
//
// Free Pascal: what `fpc -va` reports as "Macro defined" for x86_64 on
// Linux, Win64 and Darwin (compiler/options.pas, InitOptions and
// InitDefines, and compiler/systems/i_*.pas for the system names), less
// what only a cross-compiler adds (FPC_CROSSCOMPILING, NEEDCROSSBINUTILS);
// i386 and AArch64 as options.pas defines them for those CPUs. The
// numeric macros are FPC_VERSION, FPC_RELEASE, FPC_PATCH and
// FPC_FULLVERSION.
//
// Delphi 12 Athens: the predefined conditionals of its documentation
// ("Conditional compilation (Delphi)"), with the compiler constants
// CompilerVersion and RTLVersion (36) that {$IF} compares.
#include <string>

#include "Conditionals.h"

namespace {

struct TSymbolList {
  const char *Names; // blank-separated; NAME=VALUE for numeric ones
};

constexpr const char *FpcCommon =
    "FPC VER3 VER3_2 VER3_2_2 FPC_VERSION=3 FPC_RELEASE=2 FPC_PATCH=2 FPC_FULLVERSION=30202 "
    "CONSOLE FPC_HAS_OPERATOR_ENUMERATOR FPC_HAS_CONSTREF FPC_STATICRIPFIXED "
    "FPC_VARIANTCOPY_FIXED FPC_DYNARRAYCOPY_FIXED FPC_HAS_MEMBAR FPC_SETBASE_USED "
    "FPC_HAS_FEATURE_SUPPORT FPC_ABI_DEFAULT FPC_HAS_INTERNAL_ABS_LONG FPC_HAS_UNICODESTRING "
    "FPC_RTTI_PACKSET1 FPC_HAS_CPSTRING FPC_HAS_RESSTRINITS FPC_HAS_INTERNAL_ROX "
    "FPC_HAS_INTERNAL_SAR INTERNAL_BACKTRACE STR_CONCAT_PROCS FPC_HAS_WINLIKERESOURCES "
    "FPC_LINK_STATIC FPC_HAS_INDIRECT_ENTRY_INFORMATION ENDIAN_LITTLE FPC_LITTLE_ENDIAN "
    "FPC_HAS_FEATURE_HEAP FPC_HAS_FEATURE_INITFINAL FPC_HAS_FEATURE_RTTI "
    "FPC_HAS_FEATURE_CLASSES FPC_HAS_FEATURE_EXCEPTIONS FPC_HAS_FEATURE_EXITCODE "
    "FPC_HAS_FEATURE_ANSISTRINGS FPC_HAS_FEATURE_WIDESTRINGS FPC_HAS_FEATURE_TEXTIO "
    "FPC_HAS_FEATURE_CONSOLEIO FPC_HAS_FEATURE_FILEIO FPC_HAS_FEATURE_RANDOM "
    "FPC_HAS_FEATURE_VARIANTS FPC_HAS_FEATURE_OBJECTS FPC_HAS_FEATURE_DYNARRAYS "
    "FPC_HAS_FEATURE_THREADING FPC_HAS_FEATURE_COMMANDARGS FPC_HAS_FEATURE_PROCESSES "
    "FPC_HAS_FEATURE_STACKCHECK FPC_HAS_FEATURE_DYNLIBS FPC_HAS_FEATURE_SOFTFPU "
    "FPC_HAS_FEATURE_OBJECTIVEC1 FPC_HAS_FEATURE_RESOURCES FPC_HAS_FEATURE_UNICODESTRINGS";

// By CPU: x86_64, i386, aarch64 (TTargetCPU order).
constexpr const char *FpcCpu[] = {
    "CPUX86_64 CPUAMD64 CPU64 CPUX64 CPUINT64 CPUATHLON64 FPUSSE64 CPUX86_HAS_CMOV "
    "CPUX86_HAS_SSEUNIT CPUX86_HAS_SSE2 FPC_HAS_INTERNAL_ABS_INT64 FPC_HAS_RIP_RELATIVE "
    "FPC_HAS_CEXTENDED FPC_HAS_TYPE_SINGLE FPC_HAS_TYPE_DOUBLE FPC_HAS_INTERNAL_BSF "
    "FPC_HAS_INTERNAL_BSR REGCALL",
    "CPU86 CPU87 CPU386 CPUI386 CPU32 CPUX86 CPUINT32 FPUX87 FPC_HAS_TYPE_EXTENDED "
    "FPC_HAS_TYPE_DOUBLE FPC_HAS_TYPE_SINGLE FPC_HAS_INTERNAL_ABS_INT64 FPC_HAS_INTERNAL_BSF "
    "FPC_HAS_INTERNAL_BSR REGCALL",
    "CPUAARCH64 CPU64 CPUINT64 FPC_CURRENCY_IS_INT64 FPC_COMP_IS_INT64 FPC_HAS_TYPE_DOUBLE "
    "FPC_HAS_TYPE_SINGLE FPC_HAS_INTERNAL_ABS_INT64",
};

// By OS: linux, windows, darwin (TTargetOS order after Default); Windows' 64- or 32-bit
// name is added by CPU below. Extended exists on x86 Linux and Darwin.
constexpr const char *FpcOS[] = {
    "LINUX UNIX HASUNIX FPC_WIDESTRING_EQUAL_UNICODESTRING",
    "MSWINDOWS WINDOWS FPC_WINLIKEWIDESTRING FPC_NO_GENERIC_STACK_CHECK",
    "DARWIN UNIX BSD HASUNIX FPC_PIC PIC FPC_WIDESTRING_EQUAL_UNICODESTRING",
};

constexpr const char *DelphiCommon =
    "DCC CONDITIONALEXPRESSIONS UNICODE VER360 NATIVECODE COMPILERVERSION=36 RTLVERSION=36";
// By OS and CPU; a combination Delphi does not target gets its OS's
// names and the CPU's.
constexpr const char *DelphiOS[] = {
    "LINUX POSIX PIC EXTERNALLINKER",
    "MSWINDOWS",
    "MACOS POSIX PIC OSX",
};
constexpr const char *DelphiCpu[] = {
    "CPUX64 CPU64BITS ASSEMBLER",
    "CPUX86 CPU386 CPU32BITS ASSEMBLER",
    "CPUARM64 CPU64BITS",
};

static_assert(std::size(FpcCpu) == 3 && std::size(FpcOS) == 3 && std::size(DelphiOS) == 3 &&
              std::size(DelphiCpu) == 3);
static_assert(static_cast<int>(TTargetCPU::AArch64) == 2 &&
              static_cast<int>(TTargetOS::Linux) == 1 && static_cast<int>(TTargetOS::Darwin) == 3);

void AddList(const char *List, std::vector<TPredefinedSymbol> &Out) {
  std::string_view Rest(List);
  while (!Rest.empty()) {
    const size_t Blank = Rest.find(' ');
    const std::string_view Item = Rest.substr(0, Blank);
    Rest = Blank == std::string_view::npos ? std::string_view() : Rest.substr(Blank + 1);
    if (Item.empty())
      continue;
    TPredefinedSymbol Symbol;
    Symbol.State.State = TSymbolState::Defined;
    const size_t Equals = Item.find('=');
    Symbol.Name = std::string(Item.substr(0, Equals));
    if (Equals != std::string_view::npos) {
      Symbol.State.HasValue = true;
      Symbol.State.Value = std::stoll(std::string(Item.substr(Equals + 1)));
    }
    Out.push_back(std::move(Symbol));
  }
}

} // namespace

std::vector<TPredefinedSymbol> PredefinedSymbols(TCompilerTarget Target, TTargetOS OS,
                                                 TTargetCPU CPU) {
  std::vector<TPredefinedSymbol> Symbols;
  if (OS == TTargetOS::Default)
    OS = Target == TCompilerTarget::Delphi ? TTargetOS::Windows : TTargetOS::Linux;
  const int O = static_cast<int>(OS) - 1, C = static_cast<int>(CPU);
  if (Target == TCompilerTarget::FPC) {
    AddList(FpcCommon, Symbols);
    AddList(FpcCpu[C], Symbols);
    AddList(FpcOS[O], Symbols);
    if (OS == TTargetOS::Windows)
      AddList(CPU == TTargetCPU::I386 ? "WIN32" : "WIN64", Symbols);
    if (OS == TTargetOS::Windows && CPU == TTargetCPU::X86_64)
      AddList("FPC_USE_TLS_DIRECTORY FPC_USE_WIN64_SEH FPC_COMP_IS_INT64 FPC_CURRENCY_IS_INT64 "
              "FPC_HAS_INDIRECT_VAR_ACCESS",
              Symbols);
    if (OS != TTargetOS::Windows && CPU == TTargetCPU::X86_64)
      AddList("FPC_HAS_TYPE_EXTENDED", Symbols);
  } else if (Target == TCompilerTarget::Delphi) {
    AddList(DelphiCommon, Symbols);
    AddList(DelphiOS[O], Symbols);
    AddList(DelphiCpu[C], Symbols);
    const bool Bits64 = CPU != TTargetCPU::I386;
    if (OS == TTargetOS::Windows)
      AddList(Bits64 ? "WIN64" : "WIN32", Symbols);
    else if (OS == TTargetOS::Linux)
      AddList(Bits64 ? "LINUX64 POSIX64" : "LINUX32 POSIX32", Symbols);
    else
      AddList(Bits64 ? "MACOS64 OSX64 POSIX64" : "MACOS32 OSX32 POSIX32", Symbols);
  }
  return Symbols;
}
