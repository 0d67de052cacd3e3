#!/usr/bin/env python3
"""Checks pages that tessaline-cli wrote against their sources.

    check-pages.py html5 SOURCE PAGE [SOURCE PAGE ...]
    check-pages.py rtf SOURCE PAGE [SOURCE PAGE ...]
    check-pages.py valid PAGE [PAGE ...]
    check-pages.py fragment SOURCE FRAGMENT [SOURCE FRAGMENT ...]
    check-pages.py classic-fragment SOURCE FRAGMENT [SOURCE FRAGMENT ...]
    check-pages.py ansi SOURCE PAGE [SOURCE PAGE ...]
    check-pages.py bbcode SOURCE PAGE [SOURCE PAGE ...]

valid: each HTML5 page parses without a single error in html5lib's strict
mode. html5: the page parses without a single error in html5lib's strict mode,
and the text of its <pre> is the source (its control characters as their
symbols in Control Pictures, C1 controls and noncharacters as U+FFFD). rtf: unrtf's text of the document
is the source, but for what unrtf's text mode writes for non-ASCII
characters (a "?" each), tabs and page breaks, and that it writes each run
of blanks as one. The source is decoded as the pages decode it (a byte-order
mark, else UTF-8 when valid, else Windows-1252), and its line ends count as
one LF each, as a parser reads them. Exit status 0 when all pages pass, 1
with the first failure on standard error, 77 when the tool it needs is
missing. fragment: as html5, for an HTML5 fragment parsed as the content of
a <div> (a <style> or <link> may come before its one <pre>).
classic-fragment: the same for a classic fragment, whose text is the
source's own bytes (both are read as ISO-8859-1, byte for byte).
ansi: the page without its SGR escapes is the source, byte for byte in
UTF-8 (control characters as their symbols, C1 controls as U+FFFD), and
every line ends with the colours reset. bbcode: the post, its [font] block
and its tags taken off ("[[b][/b]" thus becomes "["), is the source as for
ansi, with no-break spaces read as blanks and tabs as eight blanks.
"""
import codecs
import os
import re
import shutil
import subprocess
import sys


def decode_source(data):
    for mark, name in ((codecs.BOM_UTF8, "utf-8"), (codecs.BOM_UTF16_LE, "utf-16-le"),
                       (codecs.BOM_UTF16_BE, "utf-16-be")):
        if data.startswith(mark):
            return data[len(mark):].decode(name, errors="replace")
    try:
        return data.decode("utf-8")
    except UnicodeDecodeError:
        # Windows-1252, with the five bytes it leaves undefined as themselves.
        return "".join(bytes([b]).decode("cp1252") if 0x80 <= b < 0xA0 and
                       b not in (0x81, 0x8D, 0x8F, 0x90, 0x9D) else chr(b) for b in data)


def lines_as_lf(text):
    return text.replace("\r\n", "\n").replace("\r", "\n")


def control_pictures(text):
    """The source as the HTML5 page shows it: control characters, which HTML
    forbids, as their symbols; C1 controls and noncharacters, which it
    forbids too and for which there are no symbols, as U+FFFD."""
    text = re.sub("[\x00-\x08\x0b\x0e-\x1f\x7f]",
                  lambda m: chr(0x2421 if m.group() == "\x7f" else 0x2400 + ord(m.group())), text)
    return "".join("\ufffd" if 0x80 <= ord(c) <= 0x9f or 0xfdd0 <= ord(c) <= 0xfdef or
                   ord(c) & 0xfffe == 0xfffe else c for c in text)


def parse_strictly(page):
    import html5lib
    data = open(page, "rb").read()
    parser = html5lib.HTMLParser(strict=True, namespaceHTMLElements=False)
    return parser.parse(data.decode("utf-8"))


def check_html5(source, page):
    try:
        document = parse_strictly(page)
    except Exception as error:  # ParseError, UnicodeDecodeError
        return "%s: not valid: %s" % (page, error)
    pres = document.findall(".//pre")
    if len(pres) != 1:
        return "%s: %d <pre> elements" % (page, len(pres))
    text = "".join(pres[0].itertext())
    return None if text == lines_as_lf(control_pictures(source)) else "%s: the <pre> text differs from %s" % (page, "the source")


def check_fragment(source, page, encoding="utf-8", shown=None):
    import html5lib
    parser = html5lib.HTMLParser(strict=True, namespaceHTMLElements=False)
    try:
        fragment = parser.parseFragment(open(page, "rb").read().decode(encoding), container="div")
    except Exception as error:  # ParseError, UnicodeDecodeError
        return "%s: not a valid fragment: %s" % (page, error)
    pres = fragment.findall(".//pre")
    if len(pres) != 1 or len(fragment.findall("./pre")) != 1:
        return "%s: %d <pre> elements, not one at the top" % (page, len(pres))
    others = [child.tag for child in fragment if child.tag not in ("pre", "style", "link")]
    if others or (fragment.text or "").strip():
        return "%s: more than the block: %s" % (page, others or fragment.text)
    text = "".join(pres[0].itertext())
    expected = lines_as_lf(shown(source) if shown else source)
    return None if text == expected else "%s: the <pre> text differs from the source" % page


def check_classic_fragment(source_bytes, page):
    return check_fragment(source_bytes.decode("iso-8859-1"), page, "iso-8859-1")


def terminal_safe(text):
    """The source as the ANSI and BBCode pages show it: C0 controls as their
    symbols, C1 controls, which terminals obey, as U+FFFD."""
    text = re.sub("[\x00-\x08\x0b\x0e-\x1f\x7f]",
                  lambda m: chr(0x2421 if m.group() == "\x7f" else 0x2400 + ord(m.group())), text)
    return re.sub("[\x80-\x9f]", "\ufffd", text)


SGR = re.compile("\x1b\\[[0-9;]*m")


def check_ansi(source, page):
    data = open(page, "rb").read().decode("utf-8")
    for line in re.split("\r\n|\r|\n", data)[:-1]:
        escapes = SGR.findall(line)
        if escapes and escapes[-1] != "\x1b[0m":
            return "%s: a line ends with colours set: %r" % (page, line[-40:])
    text = SGR.sub("", data)
    if "\x1b" in text:
        return "%s: an escape other than SGR" % page
    return None if text == terminal_safe(source) else "%s: the text differs from the source" % page


BBCODE_TAG = re.compile("\\[/?(?:color(?:=#[0-9A-F]{6})?|b|i|u|s)\\]")


def check_bbcode(source, page):
    data = open(page, "rb").read().decode("utf-8")
    start, end = "[font=Courier New]", "[/font]\n"
    if not data.startswith(start) or not data.endswith(end):
        return "%s: not one [font] block" % page
    text = BBCODE_TAG.sub("", data[len(start):-len(end)]).replace("\u00a0", " ")
    expected = terminal_safe(source).replace("\u00a0", " ").replace("\t", " " * 8)
    return None if text == expected else "%s: the text differs from the source" % page


def unrtf_text(page):
    result = subprocess.run(["unrtf", "--quiet", "--text", page], capture_output=True)
    if result.returncode != 0:
        raise RuntimeError("unrtf failed: %s" % result.stderr.decode(errors="replace"))
    # The text starts after a rule of dashes that unrtf writes first.
    return result.stdout.decode("utf-8", errors="replace").split("-----------------\n", 1)[-1]


def unrtf_renderings():
    """What unrtf's text mode writes for a tab and a page break."""
    import tempfile
    with tempfile.NamedTemporaryFile("w", suffix=".rtf", delete=False) as probe:
        probe.write("{\\rtf1\\ansi A\\tab B\\page C}")
    text = unrtf_text(probe.name)
    os.unlink(probe.name)
    return text[text.index("A") + 1:text.index("B")], text[text.index("B") + 1:text.index("C")]


RENDERINGS = []


def check_rtf(source, page):
    # unrtf's text mode writes "?" for each \u escape (one per UTF-16 unit)
    # and its own texts for tabs and page breaks; all else must be the source.
    if not RENDERINGS:
        RENDERINGS.extend(unrtf_renderings())
    tab, page_break = RENDERINGS
    expected = "".join("?" * (2 if ord(c) > 0xFFFF else 1) if ord(c) > 0x7F else
                       tab if c == "\t" else page_break if c == "\f" else c
                       for c in lines_as_lf(control_pictures(source)))
    try:
        text = unrtf_text(page)
    except RuntimeError as error:
        return "%s: %s" % (page, error)
    # unrtf's text mode also writes a run of blanks as one.
    text, expected = (re.sub(" +", " ", t).rstrip("\n") for t in (text, expected))
    if text != expected:
        return "%s: unrtf's text differs from the source" % page
    return None


def main():
    kind, pairs = sys.argv[1], sys.argv[2:]
    if kind == "valid":
        try:
            import html5lib  # noqa: F401
        except ImportError:
            print("python3-html5lib is missing", file=sys.stderr)
            return 77
        for page in pairs:
            try:
                parse_strictly(page)
            except Exception as error:
                print("%s: not valid: %s" % (page, error), file=sys.stderr)
                return 1
        return 0
    if kind in ("ansi", "bbcode"):
        check = check_ansi if kind == "ansi" else check_bbcode
        for k in range(0, len(pairs), 2):
            failure = check(decode_source(open(pairs[k], "rb").read()), pairs[k + 1])
            if failure:
                print(failure, file=sys.stderr)
                return 1
        return 0
    if kind in ("fragment", "classic-fragment"):
        try:
            import html5lib  # noqa: F401
        except ImportError:
            print("python3-html5lib is missing", file=sys.stderr)
            return 77
        for k in range(0, len(pairs), 2):
            data = open(pairs[k], "rb").read()
            failure = (check_classic_fragment(data, pairs[k + 1]) if kind == "classic-fragment" else
                       check_fragment(decode_source(data), pairs[k + 1], shown=control_pictures))
            if failure:
                print(failure, file=sys.stderr)
                return 1
        return 0
    if kind == "html5":
        try:
            import html5lib  # noqa: F401
        except ImportError:
            print("python3-html5lib is missing", file=sys.stderr)
            return 77
        check = check_html5
    else:
        if shutil.which("unrtf") is None:
            print("unrtf is missing", file=sys.stderr)
            return 77
        check = check_rtf
    for k in range(0, len(pairs), 2):
        failure = check(decode_source(open(pairs[k], "rb").read()), pairs[k + 1])
        if failure:
            print(failure, file=sys.stderr)
            return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
