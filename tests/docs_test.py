#!/usr/bin/env python3
"""Checks that every test docs/architecture.md cites exists: each `Suite.Name` or `Suite.*` a
GoogleTest case or suite of tests/, each `test_name` a Python test of tests/, each `NameFuzz`
a fuzz target and each `tests/...` path a file (its extension may be left out), so that the document cannot name a test that
was renamed or never written.

usage: docs_test.py
"""
import pathlib
import re
import sys
import unittest

ROOT = pathlib.Path(__file__).resolve().parents[1]
DOCUMENT = ROOT / "docs" / "architecture.md"

CASE = re.compile(r"\b(?:TEST|TEST_F|TEST_P|TYPED_TEST|TYPED_TEST_P)\(\s*(\w+)\s*,\s*(\w+)\s*\)")
PYTHON_TEST = re.compile(r"^\s*def (test_\w+)\(", re.M)
CITED = re.compile(r"`([^`\n]+)`")


def cited():
    return CITED.findall(DOCUMENT.read_text(encoding="utf-8"))


class CitedTests(unittest.TestCase):
    def test_every_cited_test_exists(self):
        cases = set()
        for source in [*ROOT.glob("tests/**/*.cpp"), *ROOT.glob("tests/**/*.h")]:
            cases.update(CASE.findall(source.read_text(encoding="utf-8", errors="replace")))
        suites = {suite for suite, _ in cases}
        python = set()
        for source in ROOT.glob("tests/**/*.py"):
            python.update(PYTHON_TEST.findall(source.read_text(encoding="utf-8")))
        missing = []
        for name in cited():
            if re.fullmatch(r"[A-Z]\w*\.\*", name):
                found = name[:-2] in suites
            elif re.fullmatch(r"[A-Z]\w*\.[A-Z]\w*", name):
                found = tuple(name.split(".")) in cases
            elif re.fullmatch(r"test_\w+", name):
                found = name in python
            elif re.fullmatch(r"[A-Z]\w*Fuzz", name):
                found = (ROOT / "fuzz" / (name + ".cpp")).is_file()
            elif name.startswith("tests/"):
                path = ROOT / name.rstrip("/")
                found = path.exists() or any(path.parent.glob(path.name + ".*"))
            else:
                continue
            if not found:
                missing.append(name)
        self.assertEqual(missing, [], "cited in docs/architecture.md but not in the tests")

    def test_the_document_cites_tests(self):
        # A change of the citations' form would otherwise pass unchecked.
        self.assertGreater(sum(bool(re.fullmatch(r"[A-Z]\w*\.(\*|[A-Z]\w*)", n)) for n in cited()),
                           20)


if __name__ == "__main__":
    sys.exit(unittest.main(argv=sys.argv[:1]))
