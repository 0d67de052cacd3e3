"""A Pygments lexer whose tokens are Tessaline's.

The lexer hands the text to ``tessaline-cli --page tokens`` (the token
stream: one JSON object per line, ``{"start":BYTE,"length":N,"element":
"NAME"}``) and turns each line into one Pygments token, so every Pygments
formatter and style shows Pascal exactly as Tessaline cuts it.

Pygments works on text, the stream on bytes: the text is passed as UTF-8
(``--encoding utf-8``), and each line's byte range is taken back to the
characters it covers.
"""

import bisect
import json
import os
import shutil
import subprocess

from pygments.lexer import Lexer
from pygments.token import Comment, Keyword, Name, Number, Operator, Other, Punctuation, String, Text
from pygments.util import get_choice_opt

__all__ = ["TessalineLexer", "ELEMENT_TOKENS", "find_tessaline_cli"]

#: The token type of each element, by the name the stream gives it.
#: Symbol runs are split further by their text (see _symbol_token), and
#: whitespace runs that hold other bytes (a lone "/", characters outside
#: ASCII) are plain Text.
ELEMENT_TOKENS = {
    "Whitespace_(BG)": Text.Whitespace,
    "Comment": Comment,
    "Reserved_word": Keyword,
    "Identifier": Name,
    "Symbol": Operator,
    "String": String,
    "Number": Number,
    # Code of another language inside Pascal, as Pygments' Other means.
    "Assembler": Other,
    "Directive": Comment.Preproc,
    # Code that conditional compilation leaves out.
    "Inactive": Comment.Inactive,
}

_PUNCTUATION = frozenset(";,()[]:.")


def _symbol_token(text):
    if text != ".." and all(c in _PUNCTUATION for c in text):
        return Punctuation
    return Operator


def find_tessaline_cli(explicit=None):
    """The tessaline-cli to run: ``explicit`` (the lexer option
    ``tessaline_cli``), else the environment variable TESSALINE_CLI, else
    the one on PATH. Raises FileNotFoundError, saying so, when there is none."""
    for name, origin in ((explicit, "the lexer option tessaline_cli"),
                         (os.environ.get("TESSALINE_CLI"), "the environment variable TESSALINE_CLI")):
        if name:
            if not os.path.isfile(name):
                raise FileNotFoundError(f"tessaline-cli not found at {name!r} ({origin})")
            return name
    found = shutil.which("tessaline-cli")
    if not found:
        raise FileNotFoundError("tessaline-cli not found: put it on PATH, or name it with the "
                                "environment variable TESSALINE_CLI or the lexer option tessaline_cli")
    return found


class TessalineLexer(Lexer):
    """Pascal (Delphi, Free Pascal) as Tessaline reads it.

    Options: ``dialect`` (``modern``, the default, or ``classic``) and
    ``tessaline_cli`` (the program's path; see find_tessaline_cli).
    """

    name = "Tessaline Pascal"
    aliases = ["tessaline", "tessaline-pascal"]
    # Files are left to Pygments' own Pascal lexer unless asked for by name.
    filenames = []
    mimetypes = []

    def __init__(self, **options):
        super().__init__(**options)
        self.dialect = get_choice_opt(options, "dialect", ["modern", "classic"], "modern")
        self.tessaline_cli = options.get("tessaline_cli")

    def stream(self, data):
        """The token stream of the bytes ``data``, as (start, length,
        element) triples."""
        command = [find_tessaline_cli(self.tessaline_cli), "--page", "tokens", "--encoding",
                   "utf-8", "--dialect", self.dialect, "-q", "-o", "-", "-"]
        done = subprocess.run(command, input=data, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                              check=False)
        if done.returncode != 0:
            raise RuntimeError(f"{command[0]} failed ({done.returncode}): "
                               + done.stderr.decode("utf-8", "replace").strip())
        for line in done.stdout.splitlines():
            token = json.loads(line)
            yield token["start"], token["length"], token["element"]

    def get_tokens_unprocessed(self, text):
        data = text.encode("utf-8", "surrogatepass")
        if len(data) == len(text):
            def index(offset):
                return offset
        else:
            # The byte offset where each character starts; a cut inside a
            # character (there is none in a Tessaline stream) would go to
            # the next character.
            starts = []
            offset = 0
            for char in text:
                starts.append(offset)
                offset += len(char.encode("utf-8", "surrogatepass"))

            def index(offset):
                return bisect.bisect_left(starts, offset)

        for start, length, element in self.stream(data):
            first, last = index(start), index(start + length)
            if first == last:
                continue
            piece = text[first:last]
            token = ELEMENT_TOKENS.get(element, Text)
            if token is Operator:
                token = _symbol_token(piece)
            elif token is Text.Whitespace and not piece.isspace():
                token = Text
            yield first, token, piece
