#include "CliOptions.h"

#include <algorithm>
#include <iterator>
#include <string_view>

#include "ColorScheme.h"
#include "SavedScheme.h"
#include "SourceText.h"
#include "TextUtils.h"

namespace {

// A scheme's name as Preset holds it.
int FindScheme(const std::string &Name) {
  const std::string Lower = AsciiLowerCase(Name);
  if (Lower == "builtin")
    return TCliOptions::BuiltinScheme;
  if (Lower == "saved")
    return TCliOptions::SavedScheme;
  const int Preset = FindColorPreset(Name);
  if (Preset < 0)
    throw EUsageError("unknown scheme '" + Name +
                      "' (use saved, builtin, Default, Classic, Twilight or Ocean)");
  return Preset;
}

void SetScheme(TCliOptions &Options, const std::string &Name) { Options.Preset = FindScheme(Name); }

void SetDarkScheme(TCliOptions &Options, const std::string &Name) {
  Options.DarkPreset = FindScheme(Name);
}

// Gives Converter the scheme that Preset names.
void ApplyScheme(int Preset, TTessaline &Converter) {
  if (Preset >= 0)
    ApplyColorPreset(Converter, Preset);
  // The scheme the window saved, or the built-in one when it saved none.
  if (Preset == TCliOptions::SavedScheme)
    LoadSavedScheme(Converter);
}

// Names of values are taken in any case, as scheme and encoding names are.
void SetPageFormat(TCliOptions &Options, const std::string &Given) {
  const std::string Name = AsciiLowerCase(Given);
  if (Name == "classic")
    Options.Page.Format = TPageFormat::Classic;
  else if (Name == "html5")
    Options.Page.Format = TPageFormat::HTML5;
  else if (Name == "rtf")
    Options.Page.Format = TPageFormat::RTF;
  else if (Name == "ansi")
    Options.Page.Format = TPageFormat::ANSI;
  else if (Name == "bbcode")
    Options.Page.Format = TPageFormat::BBCode;
  else if (Name == "tokens")
    Options.Page.Format = TPageFormat::Tokens;
  else
    throw EUsageError("unknown page '" + Given +
                      "' (use classic, html5, rtf, ansi, bbcode or tokens)");
}

void SetEncoding(TCliOptions &Options, const std::string &Name) {
  Options.HasEncoding = true;
  if (!FindSourceEncoding(Name, Options.Page.Encoding))
    throw EUsageError("unknown encoding '" + Name +
                      "' (use auto, utf-8, windows-1252, iso-8859-1, utf-16le or utf-16be)");
}

void AddElement(TCliOptions &Options, const std::string &Setting) {
  const size_t Equals = Setting.find('=');
  const int E =
      Equals == std::string::npos ? -1 : FindElementByValueName(Setting.substr(0, Equals));
  if (E < 0)
    throw EUsageError("--element needs NAME=VALUE with NAME one of Whitespace_(BG), Comment, "
                      "Reserved_word, Identifier, Symbol, String, Number, Assembler, "
                      "Directive, Inactive");
  Options.Elements.emplace_back(static_cast<THighlightElement>(E), Setting.substr(Equals + 1));
}

void SetDialect(TCliOptions &Options, const std::string &Given) {
  const std::string Name = AsciiLowerCase(Given);
  if (Name == "classic")
    Options.Dialect = TPascalDialect::Classic;
  else if (Name == "modern")
    Options.Dialect = TPascalDialect::Modern;
  else
    throw EUsageError("unknown dialect '" + Given + "' (use classic or modern)");
}

void AddSymbols(TCliOptions &Options, const std::string &List, bool Define) {
  Options.Conditions.Enabled = true;
  if (!AddSymbolChanges(List, Define, Options.Conditions.Changes))
    throw EUsageError(std::string(Define ? "--define" : "--undefine") +
                      " needs symbols separated by commas (NAME" + (Define ? " or NAME=NUMBER" : "") +
                      "), not '" + List + "'");
}

void SetTarget(TCliOptions &Options, const std::string &Name) {
  Options.Conditions.Enabled = true;
  if (!ParseCompilerTarget(Name, Options.Conditions.Target))
    throw EUsageError("unknown target '" + Name + "' (use fpc or delphi)");
}

void SetTargetOS(TCliOptions &Options, const std::string &Name) {
  Options.Conditions.Enabled = true;
  if (!ParseTargetOS(Name, Options.Conditions.OS))
    throw EUsageError("unknown OS '" + Name + "' (use linux, windows or darwin)");
}

void SetTargetCPU(TCliOptions &Options, const std::string &Name) {
  Options.Conditions.Enabled = true;
  if (!ParseTargetCPU(Name, Options.Conditions.CPU))
    throw EUsageError("unknown CPU '" + Name + "' (use x86_64, i386 or aarch64)");
}

void SetJobs(TCliOptions &Options, const std::string &Count) {
  Options.Jobs = ParseIntegerOr(Count, -1);
  if (Options.Jobs < 1 || Count.find_first_not_of("0123456789") != std::string::npos)
    throw EUsageError("-j needs a number of jobs, 1 or more");
}

// Class names are put into markup and selectors as they are.
void SetClassPrefix(TCliOptions &Options, const std::string &Prefix) {
  const bool Plain = std::all_of(Prefix.begin(), Prefix.end(), [](char C) {
    return (C >= 'a' && C <= 'z') || (C >= 'A' && C <= 'Z') || (C >= '0' && C <= '9') || C == '-' ||
           C == '_';
  });
  if (!Plain || Prefix.size() > 32 || (!Prefix.empty() && Prefix[0] >= '0' && Prefix[0] <= '9'))
    throw EUsageError("--class-prefix takes up to 32 letters, digits, - and _, not starting "
                      "with a digit");
  Options.Page.ClassPrefix = Prefix;
}

// The options of fragments and stylesheets, checked together.
void CheckFragmentOptions(const TCliOptions &Options) {
  const TPageOptions &Page = Options.Page;
  const bool Html5 = Page.Format == TPageFormat::HTML5;
  const bool HasDark = Options.DarkPreset != TCliOptions::NoDarkScheme;
  if (Page.Fragment && Page.Format != TPageFormat::Classic && !Html5)
    throw EUsageError("--fragment needs --page classic or html5");
  if (Page.Ansi256 && Page.Format != TPageFormat::ANSI)
    throw EUsageError("--ansi needs --page ansi");
  if ((Page.InlineStyles || !Page.CssFile.empty()) && !Html5 && !Options.CssOnly)
    throw EUsageError("--inline-styles and --css-file need --page html5");
  if (Page.InlineStyles && HasDark)
    throw EUsageError("--dark-scheme cannot be used with --inline-styles: a style attribute "
                      "cannot follow the reader's preference for a dark scheme");
  if (Page.InlineStyles && Page.LineNumbers)
    throw EUsageError("--line-numbers cannot be used with --inline-styles: the numbers are "
                      "drawn by the stylesheet");
  if (Page.InlineStyles && !Page.CssFile.empty())
    throw EUsageError("--inline-styles and --css-file exclude each other");
  if (Options.CssOnly && (Page.InlineStyles || Page.Fragment))
    throw EUsageError("--css-only writes only the stylesheet");
}

// Every option: its short and long names (either may be absent), and what
// it does. A flag takes no value; an option with a value takes it as
// "--name=value", as the next argument, or, for a short name, glued on
// ("-oPATH", "-jN").
struct TCliOption {
  const char *Short; // "-x", or nullptr
  const char *Long;  // "--name", or nullptr
  bool TakesValue;
  void (*Apply)(TCliOptions &Options, const std::string &Value);
};

constexpr TCliOption CliOptionTable[] = {
    {"-h", "--help", false, [](TCliOptions &O, const std::string &) { O.Help = true; }},
    {nullptr, "--version", false, [](TCliOptions &O, const std::string &) { O.Version = true; }},
    {"-n", "--no-clobber", false, [](TCliOptions &O, const std::string &) { O.NoClobber = true; }},
    {"-q", "--quiet", false, [](TCliOptions &O, const std::string &) { O.Quiet = true; }},
    {"-o", "--output", true,
     [](TCliOptions &O, const std::string &V) {
       O.Output = V;
       O.HasOutput = true;
     }},
    {"-j", "--jobs", true, SetJobs},
    {nullptr, "--scheme", true, SetScheme},
    {nullptr, "--element", true, AddElement},
    {nullptr, "--title", true, [](TCliOptions &O, const std::string &V) { O.Title = V; }},
    {nullptr, "--header", true, [](TCliOptions &O, const std::string &V) { O.Header = V; }},
    {nullptr, "--body-start", true, [](TCliOptions &O, const std::string &V) { O.BodyStart = V; }},
    {nullptr, "--body-end", true, [](TCliOptions &O, const std::string &V) { O.BodyEnd = V; }},
    {nullptr, "--page", true, SetPageFormat},
    {nullptr, "--line-numbers", false,
     [](TCliOptions &O, const std::string &) { O.Page.LineNumbers = true; }},
    {nullptr, "--dark-scheme", true, SetDarkScheme},
    {nullptr, "--encoding", true, SetEncoding},
    {nullptr, "--index", false, [](TCliOptions &O, const std::string &) { O.Index = true; }},
    {nullptr, "--dialect", true, SetDialect},
    {nullptr, "--define", true,
     [](TCliOptions &O, const std::string &V) { AddSymbols(O, V, true); }},
    {nullptr, "--undefine", true,
     [](TCliOptions &O, const std::string &V) { AddSymbols(O, V, false); }},
    {nullptr, "--target", true, SetTarget},
    {nullptr, "--os", true, SetTargetOS},
    {nullptr, "--cpu", true, SetTargetCPU},
    {nullptr, "--fragment", false, [](TCliOptions &O, const std::string &) { O.Page.Fragment = true; }},
    {nullptr, "--inline-styles", false,
     [](TCliOptions &O, const std::string &) { O.Page.InlineStyles = true; }},
    {nullptr, "--css-file", true,
     [](TCliOptions &O, const std::string &V) {
       if (V.empty())
         throw EUsageError("--css-file needs a file name");
       O.Page.CssFile = V;
     }},
    {nullptr, "--css-only", false, [](TCliOptions &O, const std::string &) { O.CssOnly = true; }},
    {nullptr, "--class-prefix", true, SetClassPrefix},
    {nullptr, "--ansi", true,
     [](TCliOptions &O, const std::string &V) {
       if (V != "256" && V != "24bit")
         throw EUsageError("--ansi takes 24bit (the default) or 256");
       O.Page.Ansi256 = V == "256";
     }},
};

// Short names are a dash and one letter, long ones two dashes and a word:
// the parser cuts "-oPATH" and "--name=value" on that shape.
constexpr bool IsWellFormed(const TCliOption &Option) {
  const std::string_view Short = Option.Short ? Option.Short : "";
  const std::string_view Long = Option.Long ? Option.Long : "";
  return Option.Apply && (Option.Short || Option.Long) &&
         (!Option.Short || (Short.size() == 2 && Short[0] == '-' && Short[1] != '-')) &&
         (!Option.Long ||
          (Long.size() > 2 && Long.starts_with("--") && Long.find('=') == std::string_view::npos));
}
static_assert(std::all_of(std::begin(CliOptionTable), std::end(CliOptionTable), IsWellFormed));

const TCliOption *FindCliOption(const std::string &Name) {
  for (const TCliOption &Option : CliOptionTable)
    if ((Option.Short && Name == Option.Short) || (Option.Long && Name == Option.Long))
      return &Option;
  return nullptr;
}

} // namespace

TCliOptions ParseCliOptions(const std::vector<std::string> &Args) {
  TCliOptions Options;
  bool OptionsEnded = false;
  for (size_t K = 0; K < Args.size(); ++K) {
    const std::string &Arg = Args[K];
    if (OptionsEnded || Arg == "-" || Arg.empty() || Arg[0] != '-') {
      Options.Files.push_back(Arg);
      continue;
    }
    if (Arg == "--") {
      OptionsEnded = true;
      continue;
    }
    if (const TCliOption *Flag = FindCliOption(Arg); Flag && !Flag->TakesValue) {
      Flag->Apply(Options, "");
      continue;
    }
    // The option's name and value, from "--name=value", "-xVALUE" or the
    // next argument.
    std::string Name = Arg;
    std::string Value;
    bool HasValue = false;
    if (Arg.compare(0, 2, "--") == 0) {
      const size_t Equals = Arg.find('=');
      if (Equals != std::string::npos) {
        Name = Arg.substr(0, Equals);
        Value = Arg.substr(Equals + 1);
        HasValue = true;
      }
    } else if (const TCliOption *Glued = FindCliOption(Arg.substr(0, 2));
               Arg.size() > 2 && Glued && Glued->TakesValue) {
      Name = Arg.substr(0, 2);
      Value = Arg.substr(2);
      HasValue = true;
    }
    const TCliOption *Option = FindCliOption(Name);
    if (!Option)
      throw EUsageError("unknown option " + Name);
    // A flag comes here only with "=value".
    if (!Option->TakesValue)
      throw EUsageError("option " + Name + " takes no value");
    if (!HasValue) {
      if (K + 1 >= Args.size())
        throw EUsageError("option " + Name + " needs a value");
      Value = Args[++K];
    }
    Option->Apply(Options, Value);
  }
  if (Options.Help || Options.Version)
    return Options;
  CheckFragmentOptions(Options);
  if (Options.CssOnly) {
    if (!Options.Files.empty())
      throw EUsageError("--css-only takes no input file");
    return Options;
  }
  if (Options.Files.empty())
    throw EUsageError("no input file given");
  if ((Options.Page.LineNumbers || Options.DarkPreset != TCliOptions::NoDarkScheme) &&
      Options.Page.Format != TPageFormat::HTML5)
    throw EUsageError("--line-numbers and --dark-scheme need --page html5");
  // The classic page takes the source's bytes as they are: an encoding it
  // would not use is refused rather than passed over.
  if (Options.HasEncoding && Options.Page.Format == TPageFormat::Classic)
    throw EUsageError("--encoding needs --page html5 or rtf");
  // The HTML5 page declares UTF-8; texts in another encoding would make it
  // invalid, and which one they are in cannot be told.
  if (Options.Page.Format == TPageFormat::HTML5) {
    for (const auto &[Name, Text] : {std::pair<const char *, const std::string &>{"--title", Options.Title},
                                     {"--header", Options.Header},
                                     {"--body-start", Options.BodyStart},
                                     {"--body-end", Options.BodyEnd}})
      if (!IsValidUTF8(Text))
        throw EUsageError(std::string(Name) + " is not UTF-8, which the HTML5 page is written in");
  }
  if (Options.HasOutput && Options.Files.size() > 1)
    throw EUsageError("-o needs exactly one input file");
  // Standard input has no name to put a page beside, and a batch writes
  // nothing to standard output.
  if (Options.Files.size() > 1 &&
      std::find(Options.Files.begin(), Options.Files.end(), "-") != Options.Files.end())
    throw EUsageError("- (standard input) must be the only input file");
  return Options;
}

void ReadSavedScheme(TCliOptions &Options, const std::function<void(const std::string &)> &Warn) {
  if (Options.Preset != TCliOptions::SavedScheme)
    return;
  Options.Preset = TCliOptions::BuiltinScheme;
  // As the window converts a file named on its command line: the scheme it
  // saved, or its built-in one when it saved none. Unlike the window, which
  // shows the failure and opens for the user, a damaged value is passed
  // over: the run still gives a page.
  TTessaline Saved;
  std::vector<std::string> Problems;
  if (!LoadSavedScheme(Saved, &Problems))
    return;
  for (const std::string &Problem : Problems)
    Warn(SavedSchemePlace() + ": " + Problem + "; the built-in setting is used");
  std::vector<std::pair<THighlightElement, std::string>> Elements;
  for (int E = 0; E < ElementCount; ++E) {
    const auto Element = static_cast<THighlightElement>(E);
    Elements.emplace_back(Element, FormatElementSetting(Saved, Element));
  }
  Elements.insert(Elements.end(), Options.Elements.begin(), Options.Elements.end());
  Options.Elements = std::move(Elements);
}

void ApplyCliOptions(const TCliOptions &Options, TTessaline &Converter) {
  Converter.SetTitle(Options.Title);
  Converter.SetAddHeader(Options.Header);
  Converter.SetAddBodyStart(Options.BodyStart);
  Converter.SetAddBodyEnd(Options.BodyEnd);
  Converter.SetDialect(Options.Dialect);
  Converter.SetConditions(Options.Conditions);
  if (Options.Preset == TCliOptions::SavedScheme) {
    TCliOptions Read = Options;
    ReadSavedScheme(Read, [](const std::string &) {});
    ApplyCliOptions(Read, Converter);
    return;
  }
  if (Options.Preset >= 0)
    ApplyColorPreset(Converter, Options.Preset);
  for (const auto &[Element, Value] : Options.Elements)
    LoadElementSetting(Converter, Element, Value);
  TPageOptions Page = Options.Page;
  if (Options.DarkPreset != TCliOptions::NoDarkScheme) {
    TTessaline Dark;
    ApplyScheme(Options.DarkPreset, Dark);
    Page.HasDarkScheme = true;
    Page.DarkScheme = Dark.Scheme();
  }
  Converter.SetPageOptions(Page);
}

std::string CliUsage() {
  return "Usage: tessaline-cli [OPTIONS] FILE...\n"
         "Converts Pascal source FILE into a highlighted HTML page, written beside it\n"
         "with the extension .html. FILE - reads standard input (the page then goes to\n"
         "standard output unless -o is given). A folder converts every .pas, .dpr, .dpk,\n"
         ".pp, .inc and .lpr file below it, each beside its source.\n"
         "\n"
         "Options:\n"
         "  -o PATH              write the page to PATH; - for standard output\n"
         "  --title TEXT         page title (default: \"" +
         std::string(DefaultPageTitle) +
         "\")\n"
         "  --header TEXT        HTML added at the end of HEAD\n"
         "  --body-start TEXT    HTML added before the source\n"
         "  --body-end TEXT      HTML added after the source\n"
         "  --scheme NAME        saved (the window's, the default), builtin, or a preset:\n"
         "                       Default, Classic, Twilight or Ocean\n"
         "  --element NAME=VALUE one element's setting as stored, e.g.\n"
         "                       --element Comment=32768,0,I,0 (colour, -, styles BIUS,\n"
         "                       default colour 0/1); applied after --scheme, in order\n"
         "  --dialect NAME       classic (the default) or modern: directives, multi-line\n"
         "                       strings, &names, %/&/_ numbers, #$ codes, asm bodies\n"
         "  --define SYM[,SYM]   modern: follow conditional compilation with SYM defined\n"
         "                       (SYM=N gives it a value for {$IF}); code the compiler\n"
         "                       skips is shown as inactive code\n"
         "  --undefine SYM[,SYM] modern: the same with SYM not defined\n"
         "  --target NAME        modern: fpc or delphi, with the symbols that compiler\n"
         "                       predefines (Free Pascal 3.2.2, Delphi 12) for\n"
         "  --os NAME            linux, windows or darwin (default: linux for fpc,\n"
         "                       windows for delphi) and\n"
         "  --cpu NAME           x86_64 (the default), i386 or aarch64\n"
         "  --page FORMAT        classic (the default), html5, rtf, ansi (terminal\n"
         "                       colours, .ans), bbcode (forum posts, .bbcode) or\n"
         "                       tokens (one JSON line per token: start, length,\n"
         "                       element, .jsonl); html5 texts (--title...) must\n"
         "                       be UTF-8\n"
         "  --line-numbers       html5: number the lines, each with an anchor #L<n>\n"
         "  --dark-scheme NAME   html5: a second scheme (as --scheme) for readers who\n"
         "                       prefer a dark one\n"
         "  --encoding NAME      all but classic: how the source is read: auto (the\n"
         "                       default: a byte-order mark, else UTF-8 when valid,\n"
         "                       else windows-1252), utf-8, windows-1252,\n"
         "                       iso-8859-1, utf-16le, utf-16be\n"
         "  --fragment           classic, html5: only the highlighted block, to paste\n"
         "                       into a page (html5: its <style> first)\n"
         "  --inline-styles      html5: colours and styles in each span's style\n"
         "                       attribute, no <style> (not with --dark-scheme or\n"
         "                       --line-numbers)\n"
         "  --css-file NAME      html5: link the stylesheet NAME (relative to the page)\n"
         "                       instead of a <style> block\n"
         "  --css-only           write that stylesheet (for --scheme, --dark-scheme,\n"
         "                       --class-prefix) to standard output or -o, and convert\n"
         "                       nothing\n"
         "  --class-prefix TEXT  html5: the start of the spans' classes (default tl-)\n"
         "  --ansi 256           ansi: the 256 colours of xterm's palette, for terminals\n"
         "                       without 24-bit colour\n"
         "  --index              write an index.html into each folder given, listing\n"
         "                       the pages converted below it (needs a folder)\n"
         "  -j N                 convert N files at a time (default: one per processor)\n"
         "  -n, --no-clobber     keep pages that exist already\n"
         "  -q, --quiet          no progress bar and no notes, only errors\n"
         "  --help               show this text\n"
         "  --version            show the version\n"
         "\n"
         "Exit status: 0 done, 1 an input or output failed, 2 wrong usage,\n"
         "130 or 143 interrupted (finished pages stay, no partial page is left).\n";
}
