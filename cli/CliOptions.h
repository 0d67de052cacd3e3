// Command-line options of tessaline-cli, parsed apart from running them so
// that tests can set up a converter exactly as the tool does.
#pragma once

#include <functional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "Tessaline.h"

/// A command line that makes no sense; the message says why.
class EUsageError : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};

/// The page title the window starts with, used when none is given.
inline constexpr const char *DefaultPageTitle = "Howdy !!! Greetings from Tessaline :-)";

struct TCliOptions {
  std::vector<std::string> Files;
  bool HasOutput = false;
  std::string Output; // "-" for standard output
  std::string Title = DefaultPageTitle;
  std::string Header;
  std::string BodyStart;
  std::string BodyEnd;
  // A preset (0..3), or the converter's built-in scheme, or the scheme the
  // window saved (the default; the built-in one where no scheme was saved
  // or the build has no reader for it).
  static constexpr int BuiltinScheme = -1, SavedScheme = -2;
  int Preset = SavedScheme;
  std::vector<std::pair<THighlightElement, std::string>> Elements;
  TPascalDialect Dialect = TPascalDialect::Classic;
  // --define, --undefine, --target, --os, --cpu: any of them turns the
  // conditionals on (for the modern dialect).
  TConditionOptions Conditions;
  TPageOptions Page; // all but the dark scheme, which DarkPreset names
  bool HasEncoding = false; // --encoding given
  static constexpr int NoDarkScheme = -3;
  int DarkPreset = NoDarkScheme; // as Preset, when a dark scheme is given
  int Jobs = 0;           // 0: one per processor
  bool NoClobber = false; // keep pages that exist
  bool Quiet = false;     // no progress bar, no notes
  bool Index = false;     // an index.html in each folder given
  bool Help = false;
  bool Version = false;
  // Fragments and stylesheets: --fragment, --inline-styles, --css-file and
  // --class-prefix are in Page; --css-only prints the stylesheet instead
  // of converting, and needs no input.
  bool CssOnly = false;
};

/// Parses the arguments after the program name. Options may come before
/// or after the files; "--" ends them; long options also take
/// "--name=value". Throws EUsageError, also for -o with several inputs.
TCliOptions ParseCliOptions(const std::vector<std::string> &Args);

/// When Options asks for the scheme the window saved, reads it once: its
/// eight element settings go before the --element ones and Preset becomes
/// the built-in scheme, so that converters set up from Options (one per
/// batch worker) read no settings of their own. A stored value that cannot
/// be read is passed to Warn as "SETTINGS FILE: message" and its element
/// keeps its built-in setting.
void ReadSavedScheme(TCliOptions &Options, const std::function<void(const std::string &)> &Warn);

/// Gives Converter the options' page texts, then the scheme: the preset
/// (or the built-in scheme left as it is, or the saved one, read as by
/// ReadSavedScheme with no warnings), then each --element in order.
void ApplyCliOptions(const TCliOptions &Options, TTessaline &Converter);

/// The extension of a page of Format: ".rtf" for RTF, ".ans" for ANSI,
/// ".bbcode" for BBCode, ".jsonl" for the token stream, else ".html".
inline const char *PageExtension(TPageFormat Format) {
  return Format == TPageFormat::RTF      ? ".rtf"
         : Format == TPageFormat::ANSI   ? ".ans"
         : Format == TPageFormat::BBCode ? ".bbcode"
         : Format == TPageFormat::Tokens ? ".jsonl"
                                         : ".html";
}

/// The short usage text, ending in a line end.
std::string CliUsage();
