#include "CliOptions.h"

#include "ColorScheme.h"
#ifdef TESSALINE_HAVE_SETTINGS
#include "ColorSettings.h"
#endif
#include "TextUtils.h"

namespace {

// Long options that take a value, and where each one goes.
struct TValueOption {
  const char *Name;
  std::string TCliOptions::*Field;
};
constexpr TValueOption PageTextOptions[] = {
    {"--title", &TCliOptions::Title},
    {"--header", &TCliOptions::Header},
    {"--body-start", &TCliOptions::BodyStart},
    {"--body-end", &TCliOptions::BodyEnd},
};

// A scheme's name as Preset holds it.
int FindScheme(const std::string &Name) {
  std::string Lower = Name;
  for (char &C : Lower)
    if (C >= 'A' && C <= 'Z')
      C = char(C + 32);
  if (Lower == "builtin")
    return TCliOptions::BuiltinScheme;
#ifdef TESSALINE_HAVE_SETTINGS
  if (Lower == "saved")
    return TCliOptions::SavedScheme;
#endif
  const int Preset = FindColorPreset(Name);
  if (Preset < 0)
    throw EUsageError("unknown scheme '" + Name +
                      "' (use saved, builtin, Default, Classic, Twilight or Ocean)");
  return Preset;
}

// Gives Converter the scheme that Preset names.
void ApplyScheme(int Preset, TTessaline &Converter) {
  if (Preset >= 0)
    ApplyColorPreset(Converter, Preset);
#ifdef TESSALINE_HAVE_SETTINGS
  // As the window converts a file named on its command line: the scheme it
  // saved, or its built-in one when it saved none.
  if (Preset == TCliOptions::SavedScheme)
    LoadColorSettings(TRegIniFile(SettingsKeyPath), Converter, ElementCaptionList());
#endif
}

TPageFormat FindPageFormat(const std::string &Name) {
  if (Name == "classic")
    return TPageFormat::Classic;
  if (Name == "html5")
    return TPageFormat::HTML5;
  if (Name == "rtf")
    return TPageFormat::RTF;
  throw EUsageError("unknown page '" + Name + "' (use classic, html5 or rtf)");
}

void AddElement(TCliOptions &Options, const std::string &Setting) {
  const size_t Equals = Setting.find('=');
  const int E =
      Equals == std::string::npos ? -1 : FindElementByValueName(Setting.substr(0, Equals));
  if (E < 0)
    throw EUsageError("--element needs NAME=VALUE with NAME one of Whitespace_(BG), Comment, "
                      "Reserved_word, Identifier, Symbol, String, Number, Assembler, "
                      "Directive");
  Options.Elements.emplace_back(static_cast<THighlightElement>(E), Setting.substr(Equals + 1));
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
    if (Arg == "--help" || Arg == "-h") {
      Options.Help = true;
      continue;
    }
    if (Arg == "--version") {
      Options.Version = true;
      continue;
    }
    if (Arg == "-n" || Arg == "--no-clobber") {
      Options.NoClobber = true;
      continue;
    }
    if (Arg == "-q" || Arg == "--quiet") {
      Options.Quiet = true;
      continue;
    }
    if (Arg == "--index") {
      Options.Index = true;
      continue;
    }
    if (Arg == "--line-numbers") {
      Options.Page.LineNumbers = true;
      continue;
    }
    // The option's name and value, from "--name=value" or the next argument.
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
    } else if (Arg.size() > 2 && (Arg[1] == 'o' || Arg[1] == 'j')) { // -oPATH, -jN
      Name = Arg.substr(0, 2);
      Value = Arg.substr(2);
      HasValue = true;
    }
    auto TakeValue = [&]() -> const std::string & {
      if (!HasValue) {
        if (K + 1 >= Args.size())
          throw EUsageError("option " + Name + " needs a value");
        Value = Args[++K];
      }
      return Value;
    };
    if (Name == "-o" || Name == "--output") {
      Options.Output = TakeValue();
      Options.HasOutput = true;
    } else if (Name == "-j" || Name == "--jobs") {
      const std::string &Count = TakeValue();
      Options.Jobs = ParseIntegerOr(Count, -1);
      if (Options.Jobs < 1 || Count.find_first_not_of("0123456789") != std::string::npos)
        throw EUsageError("-j needs a number of jobs, 1 or more");
    } else if (Name == "--scheme") {
      Options.Preset = FindScheme(TakeValue());
    } else if (Name == "--dark-scheme") {
      Options.DarkPreset = FindScheme(TakeValue());
    } else if (Name == "--page") {
      Options.Page.Format = FindPageFormat(TakeValue());
    } else if (Name == "--encoding") {
      const std::string &Encoding = TakeValue();
      if (!FindSourceEncoding(Encoding, Options.Page.Encoding))
        throw EUsageError("unknown encoding '" + Encoding +
                          "' (use auto, utf-8, windows-1252, iso-8859-1, utf-16le or utf-16be)");
    } else if (Name == "--element") {
      AddElement(Options, TakeValue());
    } else if (Name == "--dialect") {
      const std::string &Dialect = TakeValue();
      if (Dialect == "classic")
        Options.Dialect = TPascalDialect::Classic;
      else if (Dialect == "modern")
        Options.Dialect = TPascalDialect::Modern;
      else
        throw EUsageError("unknown dialect '" + Dialect + "' (use classic or modern)");
    } else {
      bool Known = false;
      for (const TValueOption &Option : PageTextOptions)
        if (Name == Option.Name) {
          Options.*Option.Field = TakeValue();
          Known = true;
        }
      if (!Known)
        throw EUsageError("unknown option " + Name);
    }
  }
  if (Options.Help || Options.Version)
    return Options;
  if (Options.Files.empty())
    throw EUsageError("no input file given");
  if ((Options.Page.LineNumbers || Options.DarkPreset != TCliOptions::NoDarkScheme) &&
      Options.Page.Format != TPageFormat::HTML5)
    throw EUsageError("--line-numbers and --dark-scheme need --page html5");
  if (Options.HasOutput && Options.Files.size() > 1)
    throw EUsageError("-o needs exactly one input file");
  return Options;
}

void ApplyCliOptions(const TCliOptions &Options, TTessaline &Converter) {
  Converter.SetTitle(Options.Title);
  Converter.SetAddHeader(Options.Header);
  Converter.SetAddBodyStart(Options.BodyStart);
  Converter.SetAddBodyEnd(Options.BodyEnd);
  Converter.SetDialect(Options.Dialect);
  ApplyScheme(Options.Preset, Converter);
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
         "  --page FORMAT        classic (the default), html5 or rtf\n"
         "  --line-numbers       html5: number the lines, each with an anchor #L<n>\n"
         "  --dark-scheme NAME   html5: a second scheme (as --scheme) for readers who\n"
         "                       prefer a dark one\n"
         "  --encoding NAME      html5, rtf: how the source is read: auto (the default:\n"
         "                       a byte-order mark, else UTF-8 when valid, else\n"
         "                       windows-1252), utf-8, windows-1252, iso-8859-1,\n"
         "                       utf-16le, utf-16be\n"
         "  --index              write an index.html into each folder given, listing\n"
         "                       the pages converted below it\n"
         "  -j N                 convert N files at a time (default: one per processor)\n"
         "  -n, --no-clobber     keep pages that exist already\n"
         "  -q, --quiet          no progress bar and no notes, only errors\n"
         "  --help               show this text\n"
         "  --version            show the version\n"
         "\n"
         "Exit status: 0 done, 1 an input or output failed, 2 wrong usage,\n"
         "130 or 143 interrupted (finished pages stay, no partial page is left).\n";
}
