#!/usr/bin/env python3
"""Checks the manual page against the tool, so that the two cannot drift apart: the same
operations (name, menu id, caption) and the same options in the manual page's OPTIONS
section and in --help, the version of --version in the page's header, and a page that
man renders without a warning. The rules of cli/rules.txt must stand in --help, the page and
docs/tool.md (and any other document that copies them) as they stand there, and every example
they give must hold.

usage: manpage_test.py TARNWICK MANPAGE
"""
import os
import pathlib
import re
import shutil
import subprocess
import sys
import unittest

TOOL = None
PAGE = None

OPTION = re.compile(r"(?<![\w-])--?[A-Za-z][\w-]*")

ROOT = pathlib.Path(__file__).resolve().parents[2]
RULES = ROOT / "cli" / "rules.txt"
RULES_BEGIN = "<!-- rules: cli/rules.txt -->\n"
RULES_COPY = re.compile(re.escape(RULES_BEGIN) + r"(.*?)<!-- end of rules -->", re.S)
# The tool's reference carries the rules; any other document may copy them between the markers.
REFERENCE = ROOT / "docs" / "tool.md"
DOCUMENTS = [ROOT / "README.md", *sorted((ROOT / "docs").rglob("*.md"))]
# "printf 'INPUT' | tarnwick ARGS gives 'OUTPUT'" or "... names line N" (an input error).
EXAMPLE = re.compile(r"printf '([^']*)'\s*\|\s*tarnwick\s+([^']+?)\s+"
                     r"(?:gives\s+'([^']*)'|names\s+line\s+(\d+))")


def roff_text(line):
    """The text a roff line shows, without fonts and escapes; a macro line's arguments are
    joined as the font-alternating macros join them."""
    for escape, text in ((r"\(lq", "\u201c"), (r"\(rq", "\u201d"), (r"\(aq", "'"),
                         (r"\(dq", '"'), (r"\-", "-"), (r"\ ", " "), (r"\&", ""),
                         (r"\e", "\\")):
        line = line.replace(escape, text)
    line = re.sub(r"\\f[BIRP]", "", line)
    if not line.startswith("."):
        return line
    parts = line.split(None, 1)
    if len(parts) == 1:
        return ""
    return "".join(a or b for a, b in re.findall(r'"([^"]*)"|(\S+)', parts[1]))


def page_sections(source):
    """Section name -> the tags of its .TP paragraphs, as shown text."""
    sections, name, lines = {}, None, source.splitlines()
    for i, line in enumerate(lines):
        if line.startswith(".SH "):
            name = line[4:].strip().strip('"')
            sections[name] = []
        elif line.startswith(".TP") and name and i + 1 < len(lines):
            sections[name].append(roff_text(lines[i + 1]))
    return sections


def printf_bytes(text):
    """The bytes printf writes for TEXT, a format without conversions."""
    out, i = bytearray(), 0
    while i < len(text):
        m = re.match(r"\\(x[0-9A-Fa-f]{1,2}|[0-7]{1,3}|.)", text[i:])
        if not m:
            out += text[i].encode()
            i += 1
            continue
        code = m.group(1)
        if code[0] == "x":
            out.append(int(code[1:], 16))
        elif code[0] in "01234567":
            out.append(int(code, 8))
        else:
            escapes = {"n": b"\n", "r": b"\r", "t": b"\t", "\\": b"\\"}
            out += escapes.get(code, ("\\" + code).encode())
        i += len(m.group(0))
    return bytes(out)


def words(text):
    return " ".join(text.split())


def help_sections(text):
    """The option names and the (name, id, caption) operations that --help lists."""
    options, operations, section = set(), [], None
    for line in text.splitlines():
        if not line.strip():
            section = None if section == "options" else section
            continue
        if re.match(r"^Options:", line):
            section = "options"
        elif re.match(r"^Operations\b", line):
            section = "operations"
        elif section == "options" and re.match(r"^  -", line):
            options.update(OPTION.findall(line.split()[0]))
        elif section == "operations":
            m = re.match(r"^  ([a-z][\w-]*)\s+(\d+)\s+(\S+)\s*$", line)
            if m:
                operations.append((m.group(1), int(m.group(2)), m.group(3)))
            m = re.match(r"^  ([a-z][\w-]*)\s+-\s+\(not in the menu\)$", line)
            if m:
                operations.append((m.group(1), None, None))
    return options, operations


class ManPageTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        with open(PAGE, encoding="utf-8") as f:
            cls.source = f.read()
        cls.sections = page_sections(cls.source)
        # The page is English: so is the help in the "C" locale.
        proc = subprocess.run([TOOL, "--help"], capture_output=True, check=True,
                              env=dict(os.environ, LC_ALL="C"))
        cls.help = proc.stdout.decode("utf-8")
        cls.help_options, cls.help_operations = help_sections(cls.help)

    def test_help_is_parsed(self):
        # Guards the parsing itself: a changed help layout must not make the checks vacuous.
        self.assertIn("--help", self.help_options)
        self.assertEqual(len(self.help_operations), 13, self.help)

    def test_same_operations_with_ids_and_captions(self):
        page = []
        for tag in self.sections.get("OPERATIONS", []):
            m = re.match(r"^(\S+) \((\d+), \u201c(.*)\u201d\)$", tag)
            if m:
                page.append((m.group(1), int(m.group(2)), m.group(3)))
                continue
            m = re.match(r"^(\S+) \(not in the menu\)$", tag)
            self.assertIsNotNone(m, "unexpected operation tag: " + tag)
            page.append((m.group(1), None, None))
        self.assertEqual(page, self.help_operations)

    def test_same_options(self):
        page = set()
        for tag in self.sections.get("OPTIONS", []):
            page.update(OPTION.findall(tag))
        self.assertEqual(sorted(page - self.help_options), [], "in the manual page only")
        self.assertEqual(sorted(self.help_options - page), [], "in --help only")

    def test_synopsis_and_version(self):
        version = subprocess.run([TOOL, "--version"], capture_output=True, check=True)
        number = version.stdout.decode().split()[-1]
        self.assertRegex(self.source, r'\n\.TH TARNWICK 1 "[^"]*" "Tarnwick %s"' % re.escape(number))
        for section in ("NAME", "SYNOPSIS", "DESCRIPTION", "OPERATIONS", "OPTIONS", "ENCODINGS",
                        "LOCALE", "EXIT STATUS", "EXAMPLES"):
            self.assertIn(section, self.sections)

    def test_rules_stand_in_help_page_and_documents_as_written(self):
        with open(RULES, encoding="utf-8") as f:
            rules = f.read()
        self.assertIn("\nRules to know:\n" + rules, self.help)
        lines = self.source.split("\n.SH RULES TO KNOW\n", 1)[1].split("\n.SH ", 1)[0]
        shown = [roff_text(line) for line in lines.splitlines() if not line.startswith(".IP")]
        self.assertEqual(words(" ".join(shown)), words(re.sub(r"(?m)^- ", "", rules)))
        carriers = []
        for document in DOCUMENTS:
            text, name = document.read_text(encoding="utf-8"), document.relative_to(ROOT)
            copies = RULES_COPY.findall(text)
            self.assertEqual(len(copies), text.count(RULES_BEGIN), f"{name}: unclosed markers")
            for copy in copies:
                self.assertEqual(copy, rules, f"copy cli/rules.txt into {name}")
            if copies:
                carriers.append(document)
        self.assertIn(REFERENCE, carriers, "docs/tool.md has no rules between its markers")

    def test_examples_of_the_rules_hold(self):
        with open(RULES, encoding="utf-8") as f:
            examples = EXAMPLE.findall(f.read())
        self.assertGreaterEqual(len(examples), 7)
        for locale in ("C", "en_US.UTF-8", "ja_JP.UTF-8"):
            env = dict(os.environ, LC_ALL=locale)
            for given, args, output, line in examples:
                with self.subTest(locale=locale, given=given, args=args):
                    proc = subprocess.run([TOOL] + args.split(), input=printf_bytes(given),
                                          capture_output=True, env=env)
                    if line:  # in English, or in Japanese where the locale has it
                        self.assertEqual(proc.returncode, 2)
                        self.assertRegex(proc.stderr.decode(), "line %s,|%s 行目" % (line, line))
                    else:
                        self.assertEqual((proc.returncode, proc.stdout),
                                         (0, printf_bytes(output)), proc.stderr.decode())

    @unittest.skipUnless(shutil.which("man"), "man is not installed")
    def test_renders_without_warnings(self):
        env = dict(os.environ, LC_ALL="C.UTF-8", MANWIDTH="80")
        proc = subprocess.run(["man", "--warnings", "-E", "UTF-8", "-l", "-Tutf8", "-Z", PAGE],
                              capture_output=True, env=env)
        self.assertEqual((proc.returncode, proc.stderr.decode()), (0, ""))


if __name__ == "__main__":
    TOOL, PAGE = sys.argv[1:3]
    unittest.main(argv=sys.argv[:1])
