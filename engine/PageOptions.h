// What kind of page a converter writes. The options travel with the
// converter (TTessaline::SetPageOptions); the default is the classic page.
#pragma once

#include <cstdint>
#include <string>

#include "SourceText.h"
#include "Types.h"

enum class TPageFormat : uint8_t {
  Classic, // FONT, B, I, U and STRIKE inside a PRE, the source's bytes
  HTML5,   // one <pre> of <span>s with classes and a <style> block, UTF-8
  RTF,     // a colour table, \b \i \ul \strike, the text as \u escapes
  ANSI,    // the text in UTF-8 with terminal colour escapes, reset at line ends
  BBCode,  // [color] [b] [i] [u] [s] in a [font] block, for forums
  Tokens,  // one JSON line per run of one element (see TokenStream.h)
};

struct TPageOptions {
  TPageFormat Format = TPageFormat::Classic;
  /// HTML5: each line gets an anchor "L<n>" and a number that is not
  /// part of the text.
  bool LineNumbers = false;
  /// HTML5: DarkScheme is used where the reader prefers a dark scheme.
  bool HasDarkScheme = false;
  TScheme DarkScheme{};
  /// HTML5, RTF and the token stream: how the source's bytes are read (a
  /// byte-order mark always wins). The token stream's offsets count the
  /// source's bytes: the encoding matters to it only for UTF-16.
  TSourceEncoding Encoding = TSourceEncoding::Auto;
  /// Classic and HTML5: only the highlighted block, for pasting into a
  /// page: the classic <PRE> with its markup closed at the end, or the
  /// HTML5 <pre class="tessaline"> preceded by its <style> (or <link>).
  bool Fragment = false;
  /// HTML5: each span carries its look as style="..." and the block the
  /// page colours, with no <style>; not with a dark scheme or numbered
  /// lines, which need a stylesheet.
  bool InlineStyles = false;
  /// HTML5: when not empty, the page or fragment links this stylesheet
  /// (see WriteHtml5Stylesheet) instead of carrying a <style> block.
  std::string CssFile;
  /// HTML5: put before each element's class and the line numbers' class
  /// ("tl-comment", "tl-line-number"): letters, digits, "-" and "_".
  std::string ClassPrefix = "tl-";
  /// ANSI: colours from the 256 of xterm's palette instead of 24-bit ones.
  bool Ansi256 = false;
};
