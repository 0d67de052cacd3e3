// What kind of page a converter writes. The options travel with the
// converter (TTessaline::SetPageOptions); the default is the classic page.
#pragma once

#include <cstdint>

#include "SourceText.h"
#include "Types.h"

enum class TPageFormat : uint8_t {
  Classic, // FONT, B, I, U and STRIKE inside a PRE, the source's bytes
  HTML5,   // one <pre> of <span>s with classes and a <style> block, UTF-8
  RTF,     // a colour table, \b \i \ul \strike, the text as \u escapes
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
};
