// The Pascal scanner: the converter's entry to it (TScanner), what a scan
// reports to (TScanControl), and the pure helpers on its token rules.
//
// The scanner knows no grammar: it classifies a token by its first byte
// (CharClasses.h) and looks identifiers up among a fixed list of reserved
// words (ReservedWords.h).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "CharClasses.h"
#include "PageWriter.h"
#include "ReservedWords.h"
#include "ScanControl.h"
#include "ScanOptions.h"
#include "Types.h"

class TMarkup;

/// Writes the body of a page: each token of a text with the markup before
/// it. It keeps, between scans, the options and the page buffers of its
/// helper thread.
class TScanner {
public:
  const TScanOptions &Options() const { return FOptions; }
  void SetOptions(const TScanOptions &Value) { FOptions = Value; }

  /// Writes the tokens of Text to Writer, each after the markup that
  /// Markup (in its start state) gives for it, and then
  /// the markup of the switch to whitespace after the last token. The byte
  /// after Text must be readable and NUL. Progress goes to Control after
  /// identifiers as percentages fall due (not the 1 before or the 100
  /// after). When Control is stopped, the scan ends before its next token
  /// and the body is partial. Dialect names the token rules. The source's
  /// text goes through Writer's text translator, if it has one.
  void Scan(std::string_view Text, TPascalDialect Dialect, TMarkup &Markup, TPageWriter &Writer,
            TScanControl &Control);

private:
  TScanOptions FOptions;
  TByteBuffer FHelperPages[2];
};

/// The run of IdentChars that starts at 1-based position P of Text.
std::string_view ExtractIdent(std::string_view Text, size_t P);

/// Text with & < > and the double quote replaced by their entities.
std::string EscapeHTML(std::string_view Text);
