#!/usr/bin/env python3
"""Checks the manual page against the tool, so that the two cannot drift apart: the same
operations (name, menu id, caption) and the same options in the manual page's OPTIONS
section and in --help, the version of --version in the page's header, and a page that
man renders without a warning.

usage: manpage_test.py TARNWICK MANPAGE
"""
import os
import re
import shutil
import subprocess
import sys
import unittest

TOOL = None
PAGE = None

OPTION = re.compile(r"(?<![\w-])--?[A-Za-z][\w-]*")


def roff_text(line):
    """The text a roff line shows, without fonts and escapes; a macro line's arguments are
    joined as the font-alternating macros join them."""
    for escape, text in ((r"\(lq", "\u201c"), (r"\(rq", "\u201d"), (r"\(aq", "'"),
                         (r"\(dq", '"'), (r"\-", "-"), (r"\ ", " "), (r"\e", "\\")):
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
    return options, operations


class ManPageTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        with open(PAGE, encoding="utf-8") as f:
            cls.source = f.read()
        cls.sections = page_sections(cls.source)
        proc = subprocess.run([TOOL, "--help"], capture_output=True, check=True)
        cls.help = proc.stdout.decode("utf-8")
        cls.help_options, cls.help_operations = help_sections(cls.help)

    def test_help_is_parsed(self):
        # Guards the parsing itself: a changed help layout must not make the checks vacuous.
        self.assertIn("--help", self.help_options)
        self.assertEqual(len(self.help_operations), 12, self.help)

    def test_same_operations_with_ids_and_captions(self):
        page = []
        for tag in self.sections.get("OPERATIONS", []):
            m = re.match(r"^(\S+) \((\d+), \u201c(.*)\u201d\)$", tag)
            self.assertIsNotNone(m, "unexpected operation tag: " + tag)
            page.append((m.group(1), int(m.group(2)), m.group(3)))
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

    @unittest.skipUnless(shutil.which("man"), "man is not installed")
    def test_renders_without_warnings(self):
        env = dict(os.environ, LC_ALL="C.UTF-8", MANWIDTH="80")
        proc = subprocess.run(["man", "--warnings", "-E", "UTF-8", "-l", "-Tutf8", "-Z", PAGE],
                              capture_output=True, env=env)
        self.assertEqual((proc.returncode, proc.stderr.decode()), (0, ""))


if __name__ == "__main__":
    TOOL, PAGE = sys.argv[1:3]
    unittest.main(argv=sys.argv[:1])
