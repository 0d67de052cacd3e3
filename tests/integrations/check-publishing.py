#!/usr/bin/python3
"""Checks the publishing integrations with the real tools, on a built
tessaline-cli: the token stream against its contract, the pandoc filter
(integrations/pandoc/tessaline.lua) with pandoc, and the Pygments lexer
(integrations/pygments) installed into a virtual environment, with
pygmentize, a Sphinx project built with -W, MkDocs and, where it is
installed, MediaWiki's SyntaxHighlight.

    python3 tests/integrations/check-publishing.py [--require-tools] [--require-mediawiki]
                                                   [BUILD_DIR]

Prints "ok: ..." per check, "SKIP: ..." with the reason for a tool that is
missing (a failure with --require-tools, as in CI, where scripts/install-deps
has installed them all), and ends with status 1 at the first failure.
MediaWiki is not among the test tools (Debian's package brings a web
server): without it, its check is skipped unless --require-mediawiki.
"""

import json
import os
import re
import shutil
import subprocess
import sys
import tempfile
import venv

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
REQUIRE_TOOLS = "--require-tools" in sys.argv[1:]
REQUIRE_MEDIAWIKI = "--require-mediawiki" in sys.argv[1:]
ARGS = [a for a in sys.argv[1:] if a not in ("--require-tools", "--require-mediawiki")]
BUILD = os.path.abspath(ARGS[0] if ARGS else os.path.join(ROOT, "build"))
CLI = os.path.join(BUILD, "cli", "tessaline-cli")
FILTER = os.path.join(ROOT, "integrations", "pandoc", "tessaline.lua")
HERE = os.path.dirname(os.path.abspath(__file__))

# Non-ASCII in comments, strings and identifiers (split there), a
# directive, an asm body, a character outside the Basic Multilingual Plane.
SAMPLE = ("unit Grüße;\n{$mode objfpc}\n// Fläche in m² 🙂\n"
          "procedure P; begin x := 'naïve €'; y := a/2 + $FF; end;\n"
          "procedure Nop; assembler; asm nop end;\nend.\n")


def fail(message):
    print("FAIL: " + message, file=sys.stderr)
    sys.exit(1)


def skip(message):
    if REQUIRE_TOOLS:
        fail(message)
    print("SKIP: " + message)


def ok(message):
    print("ok: " + message)


def run(command, data=None, env=None, check=True):
    done = subprocess.run(command, input=data, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                          env=env, check=False)
    if check and done.returncode != 0:
        fail(" ".join(command) + " failed (%d): %s" % (done.returncode, done.stderr.decode(errors="replace")))
    return done


def env_with_cli(extra_path=None):
    env = dict(os.environ)
    env.pop("TESSALINE_CLI", None)
    env["PATH"] = os.pathsep.join(p for p in [extra_path, os.path.dirname(CLI), "/usr/bin", "/bin"] if p)
    return env


def token_lines(data, dialect="modern"):
    out = run([CLI, "--page", "tokens", "--encoding", "utf-8", "--dialect", dialect, "-q", "-o", "-", "-"],
              data).stdout
    return [json.loads(line) for line in out.splitlines()]


def check_token_stream():
    data = SAMPLE.encode()
    for dialect in ("classic", "modern"):
        lines = token_lines(data, dialect)
        pos = 0
        for line in lines:
            if line["start"] != pos or line["length"] <= 0:
                fail("token stream: gap or overlap at %r" % line)
            pos += line["length"]
        if pos != len(data):
            fail("token stream covers %d of %d bytes" % (pos, len(data)))
    elements = {line["element"] for line in token_lines(data)}
    for name in ("Whitespace_(BG)", "Comment", "Reserved_word", "Identifier", "Symbol", "String",
                 "Number", "Assembler", "Directive"):
        if name not in elements:
            fail("token stream: no %s in the sample's stream" % name)
    ok("token stream covers the sample in order, with every element")


def fragment(code, *options, dialect="modern"):
    return run([CLI, "--page", "html5", "--fragment", "--encoding", "utf-8", "--dialect", dialect,
                *options, "-q", "-o", "-", "-"], code.encode()).stdout.decode()


def check_pandoc(work):
    if not shutil.which("pandoc"):
        skip("pandoc filter: pandoc is not installed (Debian package pandoc)")
        return
    blocks = {
        "pascal": "begin\n  x := 'Grüße';\nend.",
        "Delphi": "{$R *.res}\nprocedure P;",
        "objectpascal": "type T = class(TObject) end;",
        "FreePascal": "asm\n  nop\nend;",
        "LAZARUS": "x := $FF; // hex",
    }
    python = "def f():\n    return 'begin'"
    markdown = "---\ntitle: Blocks\n---\n\n"
    for cls, code in blocks.items():
        markdown += "```%s\n%s\n```\n\n" % (cls, code)
    markdown += "```python\n%s\n```\n\n    plain indented block := 1;\n" % python
    source = os.path.join(work, "blocks.md")
    with open(source, "w", encoding="utf-8") as f:
        f.write(markdown)

    def pandoc(*args, env=None, check=True):
        return run(["pandoc", "--lua-filter", FILTER, "-f", "markdown", "-t", "html", *args, source],
                   env=env or env_with_cli(), check=check)

    html = default_html = pandoc().stdout.decode()
    for cls, code in blocks.items():
        if fragment(code) not in html:
            fail("pandoc: the %s block is not Tessaline's fragment:\n%s" % (cls, html))
    if "sourceCode python" not in html and 'class="python"' not in html:
        fail("pandoc: the python block was not left to pandoc:\n" + html)
    if "plain indented block := 1;" not in html:
        fail("pandoc: blocks missing:\n" + html)
    ok("pandoc: the five Pascal classes become fragments, other blocks stay")

    html = pandoc("-M", "tessaline-inline=true", "-M", "tessaline-dialect=classic").stdout.decode()
    for cls, code in blocks.items():
        if fragment(code, "--inline-styles", dialect="classic") not in html:
            fail("pandoc: tessaline-inline/tessaline-dialect not applied to the %s block" % cls)
    ok("pandoc: tessaline-inline and tessaline-dialect")

    via_env = env_with_cli()
    via_env["PATH"] = "/usr/bin:/bin"
    via_env["TESSALINE_CLI"] = CLI
    if pandoc(env=via_env).stdout.decode() != default_html:
        fail("pandoc: TESSALINE_CLI gives another page than PATH")
    ok("pandoc: tessaline-cli found through TESSALINE_CLI")

    missing = dict(via_env)
    missing.pop("TESSALINE_CLI")
    done = pandoc(env=missing, check=False)
    if done.returncode == 0 or b"tessaline-cli not found" not in done.stderr:
        fail("pandoc: no clear failure without tessaline-cli: %r" % done.stderr)
    ok("pandoc: without tessaline-cli: " + done.stderr.decode().strip().splitlines()[-1])


def check_pygments(work):
    try:
        import pygments  # noqa: F401  (Debian's, seen by the environment)
        import sphinx  # noqa: F401
    except ImportError as error:
        skip("Pygments lexer: %s (Debian packages python3-pygments, python3-sphinx)" % error)
        return
    env_dir = os.path.join(work, "venv")
    venv.EnvBuilder(system_site_packages=True, with_pip=True).create(env_dir)
    py = os.path.join(env_dir, "bin", "python")
    # No network: the build backend is Debian's setuptools. Built from a
    # copy, so that the build leaves nothing in the source tree.
    package = os.path.join(work, "pygments-package")
    shutil.copytree(os.path.join(ROOT, "integrations", "pygments"), package)
    run([py, "-m", "pip", "install", "-q", "--no-build-isolation", "--no-index", package])
    env = env_with_cli(extra_path=os.path.join(env_dir, "bin"))
    ok("pip install ./integrations/pygments")

    sample = os.path.join(work, "sample.pas")
    with open(sample, "w", encoding="utf-8") as f:
        f.write(SAMPLE)
    # pygmentize itself, run by the environment's Python: Debian's script
    # starts Debian's Python, which does not see the environment's packages
    # (and the environment has no script of its own, as Pygments is not
    # installed into it).
    script = shutil.which("pygmentize", path="/usr/bin:/bin")
    pygmentize = [py, script] if script else [py, "-m", "pygments"]
    html = run([*pygmentize, "-l", "tessaline", "-f", "html", sample], env=env).stdout.decode()
    for cls, text in (("k", "procedure"), ("cp", "{$mode objfpc}"), ("s", "&#39;naïve €&#39;"),
                      ("c", "// Fläche in m² 🙂"), ("m", "$FF"), ("x", "nop")):
        if '<span class="%s">%s</span>' % (cls, text) not in html:
            fail("pygmentize: no %s token %r:\n%s" % (cls, text, html))
    ok("pygmentize -l tessaline -f html (%s)" % " ".join(pygmentize[1:]))

    # The lexer's tokens, counted in UTF-8, are the token stream's lines.
    compare = r'''
import json, sys
from pygments.lexers import get_lexer_by_name
text = sys.stdin.read()
lexer = get_lexer_by_name("tessaline-pascal", stripnl=False, ensurenl=False)
pos = 0
for index, token, value in lexer.get_tokens_unprocessed(text):
    size = len(value.encode("utf-8"))
    print(json.dumps([pos, size, str(token)]))
    pos += size
'''
    mine = [json.loads(l) for l in run([py, "-c", compare], SAMPLE.encode(), env=env).stdout.splitlines()]
    theirs = token_lines(SAMPLE.encode())
    if [(m[0], m[1]) for m in mine] != [(t["start"], t["length"]) for t in theirs]:
        fail("lexer tokens differ from the token stream:\n%s\n%s" % (mine, theirs))
    ok("lexer tokens are the token stream's, over text outside ASCII (%d tokens)" % len(mine))

    out = os.path.join(work, "sphinx-out")
    done = run([py, "-m", "sphinx", "-W", "-q", "-b", "html", os.path.join(HERE, "sphinx"), out],
               env=env, check=False)
    if done.returncode != 0:
        fail("sphinx-build -W: " + done.stderr.decode(errors="replace"))
    with open(os.path.join(out, "index.html"), encoding="utf-8") as f:
        page = f.read()
    for cls, text in (("k", "unit"), ("cp", "{$mode objfpc}{$H+}"), ("x", "nop"),
                      ("s", "&#39;Grüß dich, €&#39;"), ("c", "{$I+}"), ("m", "$FF")):
        if '<span class="%s">%s</span>' % (cls, text) not in page:
            fail("sphinx: no %s token %r in index.html" % (cls, text))
    ok("sphinx-build -W: the code-block pages hold the tokens' classes")

    try:
        import mkdocs  # noqa: F401
    except ImportError as error:
        skip("MkDocs: %s (Debian package mkdocs)" % error)
        return
    site = os.path.join(work, "mkdocs-site")
    done = run([py, "-m", "mkdocs", "build", "--strict", "-q", "-f",
                os.path.join(HERE, "mkdocs", "mkdocs.yml"), "-d", site], env=env, check=False)
    if done.returncode != 0:
        fail("mkdocs build --strict: " + done.stderr.decode(errors="replace"))
    with open(os.path.join(site, "index.html"), encoding="utf-8") as f:
        page = f.read()
    for cls, text in (("k", "unit"), ("cp", "{$mode objfpc}{$H+}"), ("x", "nop"),
                      ("s", "&#39;Grüß dich, €&#39;")):
        if '<span class="%s">%s</span>' % (cls, text) not in page:
            fail("mkdocs: no %s token %r in index.html" % (cls, text))
    ok("mkdocs build --strict: the fenced block holds the tokens' classes")
    check_mediawiki(work, py, env)


def check_mediawiki(work, py, env):
    """The README's recipe: SyntaxHighlight running Pygments through a
    script that starts the environment's Python."""
    php = shutil.which("php")
    maintenance = "/usr/share/mediawiki/maintenance"
    if not php or not os.path.exists(os.path.join(maintenance, "parse.php")):
        message = "MediaWiki: not installed (bash scripts/install-deps --mediawiki)"
        if REQUIRE_MEDIAWIKI:
            fail(message)
        print("SKIP: " + message)
        return
    # A wiki of its own, in the work folder: MW_CONFIG_FILE keeps the
    # installer and the parser off the machine's own LocalSettings.php.
    wiki = os.path.join(work, "wiki")
    os.makedirs(os.path.join(wiki, "data"))
    settings = os.path.join(wiki, "LocalSettings.php")
    env = dict(env, MW_CONFIG_FILE=settings)
    run([php, os.path.join(maintenance, "install.php"), "--dbtype", "sqlite",
         "--dbpath", os.path.join(wiki, "data"), "--dbname", "wiki", "--server", "http://localhost",
         "--scriptpath", "", "--pass", "Tessaline-check-1", "--confpath", wiki, "Check", "Admin"],
        env=env)
    pygmentize = os.path.join(wiki, "pygmentize")
    with open(pygmentize, "w") as f:
        f.write('#!/bin/sh\nexec %s -m pygments "$@"\n' % py)
    os.chmod(pygmentize, 0o755)
    with open(settings, "a") as f:
        f.write("wfLoadExtension( 'SyntaxHighlight_GeSHi' );\n$wgPygmentizePath = '%s';\n" % pygmentize)
    text = '<syntaxhighlight lang="tessaline">\n%s</syntaxhighlight>\n' % SAMPLE
    html = run([php, os.path.join(maintenance, "parse.php"), "--conf", settings], text.encode(),
               env=env).stdout.decode()
    for cls, text in (("k", "procedure"), ("cp", "{$mode objfpc}"), ("s", "&#39;naïve €&#39;"),
                      ("x", "nop")):
        if '<span class="%s">%s</span>' % (cls, text) not in html:
            fail("MediaWiki: no %s token %r:\n%s" % (cls, text, html))
    ok("MediaWiki: <syntaxhighlight lang=\"tessaline\"> with $wgPygmentizePath")


def main():
    if not os.access(CLI, os.X_OK):
        fail(CLI + " is not built")
    with tempfile.TemporaryDirectory() as work:
        check_token_stream()
        check_pandoc(work)
        check_pygments(work)


if __name__ == "__main__":
    main()
