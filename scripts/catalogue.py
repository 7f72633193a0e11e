#!/usr/bin/env python3
"""The message catalogue po/ja.po, for the builds and the tests.

usage: catalogue.py table CATALOGUE OUTPUT.h
         writes the catalogue as the C++ table the Windows build carries (cli/MessagesWin32.cpp)
       catalogue.py check CATALOGUE RULES SOURCE...
         fails, listing them, on a message marked for translation in the SOURCE files or
         folders (Translate("...") and ForTranslation("...")), or a paragraph of the RULES
         text, that the catalogue lacks, leaves untranslated or marks fuzzy; on an entry no
         source uses any more; on a translation whose %s parts differ from its English; and on
         a translated rule whose examples (printf ... | tarnwick ...) differ from the English
"""
import os
import re
import sys

ESCAPES = {"n": "\n", "t": "\t", "r": "\r", "\\": "\\", '"': '"', "'": "'", "?": "?",
           "a": "\a", "b": "\b", "f": "\f", "v": "\v"}
C_ESCAPE = re.compile(r"\\(x[0-9A-Fa-f]+|[0-7]{1,3}|.)", re.S)
LITERAL = r'"(?:[^"\\\n]|\\.)*"'
MARKED = re.compile(r"\b(?:Translate|ForTranslation)\(\s*((?:%s\s*)+)" % LITERAL)
CONVERSION = re.compile(r"%(?:(\d+)\$)?s|%%")
# The examples of the rules, "printf 'INPUT' | tarnwick ARGS gives 'OUTPUT'" or "... names line
# N", and as the Japanese gives them ("... の結果は 'OUTPUT'", "... は N 行目").
EXAMPLES = {
    "en": re.compile(r"printf '([^']*)'\s*\|\s*tarnwick\s+([^']+?)\s+"
                     r"(?:gives\s+'([^']*)'|names\s+line\s+(\d+))"),
    "ja": re.compile(r"printf '([^']*)'\s*\|\s*tarnwick\s+([^']+?)\s+"
                     r"(?:の結果は\s*'([^']*)'|は\s*(\d+)\s*行目)"),
}


def unescape(body):
    """The text of a C string literal's body (the bytes taken as UTF-8)."""
    out = bytearray()
    pos = 0
    for m in C_ESCAPE.finditer(body):
        out += body[pos:m.start()].encode()
        code = m.group(1)
        if code[0] == "x":
            out.append(int(code[1:], 16) & 0xFF)
        elif code[0] in "01234567":
            out.append(int(code, 8) & 0xFF)
        else:
            out += ESCAPES.get(code, code).encode()
        pos = m.end()
    out += body[pos:].encode()
    return out.decode()


def read_catalogue(path):
    """The entries of a PO file: dicts with msgid, msgstr and flags (the header included)."""
    entries, entry, field = [], None, None
    with open(path, encoding="utf-8") as f:
        lines = f.read().splitlines()
    for number, line in enumerate(lines + [""], 1):
        if not line.strip() or line.startswith("#~"):
            if entry is not None:
                entries.append(entry)
            entry, field = None, None
            continue
        if entry is None:
            entry = {"msgid": "", "msgstr": "", "flags": set(), "line": number}
        if line.startswith("#,"):
            entry["flags"].update(flag.strip() for flag in line[2:].split(","))
        elif line.startswith("#"):
            continue
        else:
            m = re.match(r'^(msgid|msgstr)?\s*"(.*)"\s*$', line)
            if not m:
                sys.exit("%s:%d: not understood: %s" % (path, number, line))
            field = m.group(1) or field
            if field is None:
                sys.exit("%s:%d: a string outside an entry" % (path, number))
            entry[field] += unescape(m.group(2))
    return entries


def rule_paragraphs(path):
    """The paragraphs of the rules text, as --help translates them: each begins with a line
    that starts with "- " and holds its lines without the last one's break."""
    with open(path, encoding="utf-8") as f:
        text = f.read()
    return [p.rstrip("\n") for p in re.split(r"(?m)^(?=- )", text) if p.strip()]


def marked_messages(paths):
    """message -> the first place that marks it for translation."""
    files = []
    for path in paths:
        if os.path.isdir(path):
            files += sorted(os.path.join(path, name) for name in os.listdir(path)
                            if name.endswith((".cpp", ".h")))
        else:
            files.append(path)
    found = {}
    for name in files:
        with open(name, encoding="utf-8") as f:
            source = f.read()
        for m in MARKED.finditer(source):
            text = "".join(unescape(lit[1:-1]) for lit in re.findall(LITERAL, m.group(1)))
            line = source.count("\n", 0, m.start()) + 1
            found.setdefault(text, "%s:%d" % (name, line))
    return found


def place_order(where):
    """A sort key for "FILE:LINE" that puts line 9 before line 10."""
    name, _, line = where.rpartition(":")
    return (name, int(line)) if line.isdigit() else (where, 0)


def parts(text):
    """The numbers of the parts a message fills in, or None when it mixes "%s" and "%N$s"."""
    numbers, sequential, positional = [], 0, False
    for m in CONVERSION.finditer(text):
        if m.group(0) == "%%":
            continue
        if m.group(1):
            positional = True
            numbers.append(int(m.group(1)))
        else:
            sequential += 1
            numbers.append(sequential)
    if positional and sequential:
        return None
    return sorted(set(numbers))


def examples(text, language):
    return [(given, " ".join(args.split()), output, line)
            for given, args, output, line in EXAMPLES[language].findall(text)]


def check(catalogue, rules, sources):
    entries = [e for e in read_catalogue(catalogue) if e["msgid"]]
    wanted = marked_messages(sources)
    for paragraph in rule_paragraphs(rules):
        wanted.setdefault(paragraph, rules)
    problems = []
    seen = set()
    paragraphs = set(rule_paragraphs(rules))
    for e in entries:
        where = "%s:%d" % (catalogue, e["line"])
        english = e["msgid"]
        if english in seen:
            problems.append("%s: given twice: %r" % (where, english))
        seen.add(english)
        if english not in wanted:
            problems.append("%s: no source uses it any more: %r" % (where, english))
        if not e["msgstr"]:
            problems.append("%s: not translated: %r" % (where, english))
        elif "fuzzy" in e["flags"]:
            problems.append("%s: marked fuzzy: %r" % (where, english))
        elif parts(e["msgstr"]) != parts(english):
            problems.append("%s: the translation fills in other parts: %r" % (where, english))
        elif english in paragraphs and examples(english, "en") != examples(e["msgstr"], "ja"):
            problems.append("%s: the translation gives other examples: %r" % (where, english))
    for english, where in sorted(wanted.items(), key=lambda item: place_order(item[1])):
        if english not in seen:
            problems.append("%s: not in %s: %r" % (where, catalogue, english))
    for problem in problems:
        print(problem)
    print("%d messages, %d catalogue entries, %d problems" % (len(wanted), len(entries), len(problems)))
    return 1 if problems else 0


def c_literal(text):
    out = []
    for ch in text:
        if ch in '"\\':
            out.append("\\" + ch)
        elif ch == "\n":
            out.append("\\n")
        elif ord(ch) < 0x20 or ord(ch) == 0x7F:
            out.append("\\%03o" % ord(ch))
        else:
            out.append(ch)
    return '"' + "".join(out) + '"'


def table(catalogue, output):
    pairs = sorted((e["msgid"].encode(), e["msgstr"]) for e in read_catalogue(catalogue)
                   if e["msgid"] and e["msgstr"] and "fuzzy" not in e["flags"])
    lines = ["// The Japanese messages, made from %s by scripts/catalogue.py at build time."
             % os.path.basename(catalogue),
             "#pragma once", "", "namespace Messages {", "",
             "struct TTranslation {", "  const char* English;", "  const char* Japanese;", "};",
             "", "// Sorted by the bytes of the English text.",
             "inline constexpr TTranslation kJapanese[] = {"]
    for english, japanese in pairs:
        lines.append("    {%s,\n     %s}," % (c_literal(english.decode()), c_literal(japanese)))
    lines += ["};", "", "}  // namespace Messages", ""]
    with open(output, "w", encoding="utf-8") as f:
        f.write("\n".join(lines))
    return 0


def main():
    args = sys.argv[1:]
    if len(args) == 3 and args[0] == "table":
        return table(args[1], args[2])
    if len(args) >= 4 and args[0] == "check":
        return check(args[1], args[2], args[3:])
    sys.exit(__doc__)


if __name__ == "__main__":
    sys.exit(main())
