// The RTF document: a colour table from the scheme, \b \i \ul \strike for
// the styles, a monospaced font, and the text with non-ASCII characters as
// \u escapes, so that word processors open it with its colours.
//
// The scanner writes the body with these spans for markup and its text
// through a TTextTranslator for RTF, on whichever thread scans it.
#pragma once

#include "Markup.h"
#include "PageWriter.h"
#include "Types.h"

/// Spans for the document of Scheme: a group with the element's colour
/// (colour table entry E + 1) and styles; elements alike share one.
void BuildRtfSpans(const TScheme &Scheme, TSpanMarkup &Spans);

/// The document's start: font and colour tables, the page colours. The
/// colour table has inactive code's colour, its last entry, only
/// WithInactive, where conditionals are followed.
void WriteRtfHeader(TPageWriter &Writer, const TScheme &Scheme, bool WithInactive = false);
/// Closes an open group and the document.
void WriteRtfFooter(TPageWriter &Writer, bool SpanOpen);
