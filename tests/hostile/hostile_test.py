#!/usr/bin/env python3
"""Feeds the built tarnwick the inputs that break line tools and checks it gives the defined
result or a clear error, never a crash, a hang or a half-written file.

usage: hostile_test.py TARNWICK
"""
import os
import resource
import subprocess
import sys
import tempfile
import unittest

TOOL = None
# A generous bound that only a quadratic blow-up or a hang reaches; speed is measured in bench/.
BOUND = 300


def run(args, data=b"", limit_kib=None):
    def limit():
        if limit_kib is not None:
            resource.setrlimit(resource.RLIMIT_AS, (limit_kib * 1024, limit_kib * 1024))

    proc = subprocess.run([TOOL] + args, input=data, capture_output=True, timeout=BOUND,
                          preexec_fn=limit)
    return proc.returncode, proc.stdout, proc.stderr.decode("utf-8", "replace")


class HostileInput(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.TemporaryDirectory()
        self.addCleanup(self.dir.cleanup)

    def file(self, name, data):
        path = os.path.join(self.dir.name, name)
        with open(path, "wb") as f:
            f.write(data)
        return path

    def expect(self, args, data, expected):
        code, out, err = run(args, data)
        self.assertEqual((code, err), (0, ""), args)
        self.assertEqual(out, expected, args)

    def test_invalid_encodings_are_input_errors_that_write_nothing(self):
        cases = [
            ("truncated UTF-8 sequence", [], b"ab\n\xe3\x81", 3),
            ("overlong UTF-8", [], b"\xc0\xaf\n", 0),
            ("stray continuation byte", [], b"a\n\x80b\n", 2),
            ("encoded surrogate", [], b"a\xed\xa0\x80\n", 1),
            ("lone high surrogate in UTF-16LE", [], b"\xff\xfea\x00\x00\xd8\n\x00", 4),
            ("lone low surrogate in UTF-16BE", [], b"\xfe\xff\x00a\xdc\x00\x00\n", 4),
            ("lone surrogate, named encoding", ["--encoding", "UTF-16LE"], b"\x00\xdcx\x00", 0),
        ]
        for name, options, data, offset in cases:
            with self.subTest(name):
                target = self.file("out.txt", b"untouched")
                source = self.file("in.txt", data)
                code, out, err = run(options + ["sort", source, "-o", target])
                self.assertEqual(code, 2, err)
                self.assertIn(f"offset {offset}", err)
                with open(target, "rb") as f:
                    self.assertEqual(f.read(), b"untouched")
                self.assertEqual(sorted(os.listdir(self.dir.name)), ["in.txt", "out.txt"])

    def test_contradicting_marks_and_unknown_locales_write_nothing(self):
        cases = [
            ("UTF-16LE mark, UTF-16BE named", ["-e", "UTF-16BE"], b"\xff\xfeb\x00\n\x00a\x00"),
            ("UTF-16BE mark, UTF-16LE named", ["-e", "UTF-16LE"], b"\xfe\xff\x00b\x00\n\x00a"),
            ("UTF-16 mark, UTF-8 named", ["-e", "UTF-8"], b"\xff\xfeb\x00\n\x00"),
            ("unknown locale", ["--locale", "xx_YY"], b"b\na\n"),
        ]
        for name, options, data in cases:
            with self.subTest(name):
                target = self.file("out.txt", b"untouched")
                source = self.file("in.txt", data)
                code, out, err = run(options + ["sort", source, "-o", target])
                self.assertEqual((code, out), (2, b""), err)
                with open(target, "rb") as f:
                    self.assertEqual(f.read(), b"untouched")
                self.assertEqual(sorted(os.listdir(self.dir.name)), ["in.txt", "out.txt"])

    def test_nul_characters_are_ordinary_characters(self):
        data = b"b\x00\n\x00\na\x00b\n\x00\n"
        self.expect(["dedupe"], data, b"b\x00\n\x00\na\x00b\n")
        self.expect(["count"], data, b"\x00:2\nb\x00:1\na\x00b:1\n")
        self.expect(["reverse"], data, b"\x00\na\x00b\n\x00\nb\x00\n")

    def test_a_single_line_of_100_megabytes(self):
        line = b"x" * (100 * 1024 * 1024)
        path = self.file("big.txt", line + b"\n")
        for op in ["sort", "sort-length", "dedupe"]:
            with self.subTest(op):
                code, out, err = run([op, path])
                self.assertEqual((code, err), (0, ""))
                self.assertTrue(out == line + b"\n")
        code, out, err = run(["count", path])
        self.assertTrue(out == line + b":1\n")

    def test_ten_million_empty_lines(self):
        path = self.file("empty.txt", b"\n" * 10_000_000)
        for op, expected in [("dedupe", b"\n"), ("count", b":10000000\n"), ("highlight", b"\n")]:
            with self.subTest(op):
                self.expect([op, path], b"", expected)
        code, out, err = run(["sort", path])
        self.assertEqual((code, len(out), out.strip(b"\n")), (0, 10_000_000, b""))

    def test_a_million_identical_lines(self):
        data = b"same line\r\n" * 1_000_000
        path = self.file("same.txt", data)
        self.expect(["dedupe", path], b"", b"same line\r\n")
        self.expect(["count", path], b"", b"same line:1000000\r\n")
        for op in ["sort", "sort-desc", "sort-numeric", "sort-rev", "sort-length-desc"]:
            with self.subTest(op):
                code, out, _ = run([op, path])
                self.assertTrue(code == 0 and out == data)

    def test_presorted_reversed_and_organ_pipe_orders_finish(self):
        n = 1_000_000
        up = [b"line %07d\n" % i for i in range(n)]
        shapes = {
            "sorted": up,
            "reverse-sorted": up[::-1],
            "organ pipe": up[: n // 2] + up[n // 2 :][::-1],
            "organ pipe with repeats": up[: n // 2] + up[: n // 2][::-1],
        }
        for name, lines in shapes.items():
            with self.subTest(name):
                path = self.file("shape.txt", b"".join(lines))
                code, out, err = run(["sort", path])
                self.assertEqual((code, err), (0, ""))
                self.assertTrue(out == b"".join(sorted(lines)))
                code, out, _ = run(["sort-numeric-desc", path])
                self.assertTrue(code == 0 and out == b"".join(sorted(lines, reverse=True)))

    def test_lines_made_only_of_line_breaks(self):
        self.expect(["dedupe"], b"\r\r\r", b"\r")
        self.expect(["count"], b"\r\r\r", b":3\r")
        self.expect(["sort"], b"\r\r\r", b"\r\r\r")
        self.expect(["dedupe"], b"\n\r\n\r\n\r", b"\n")
        self.expect(["count"], b"\n\r\n\r\n\r", b":4\n")
        self.expect(["highlight"], b"\n\r\n\r\n\r", b"\n")
        self.expect(["reverse"], b"\n\r\n\r", b"\r\r\n\n")

    def test_numbers_at_and_beyond_the_64_bit_limits(self):
        data = ("n 9223372036854775807\n"       # the largest value
                "n -9223372036854775808\n"      # the smallest value
                "n 9223372036854775808\n"       # one past: dropped, no number left
                "n 99999999999999999999 -1\n"   # dropped, the later number counts
                "n 0\n").encode()
        expected = ("n 9223372036854775808\n"
                    "n -9223372036854775808\n"
                    "n 99999999999999999999 -1\n"
                    "n 0\n"
                    "n 9223372036854775807\n").encode()
        self.expect(["sort-numeric"], data, expected)

    def test_full_width_commas_and_ideographic_spaces_in_numbers(self):
        data = "a １，０００\nb －\u3000５\nc 1，2\nd ７\u30008\n".encode()
        expected = "b －\u3000５\nd ７\u30008\nc 1，2\na １，０００\n".encode()
        self.expect(["sort-numeric"], data, expected)

    def test_out_of_memory_is_exit_1_and_keeps_the_output_file(self):
        # Four million lines: more than the sort can hold in 300 MB (two million now fit).
        source = self.file("in.txt", b"some line of text\n" * 4_000_000)
        target = self.file("out.txt", b"untouched")
        code, _, err = run(["sort", source, "-o", target], limit_kib=300 * 1024)
        self.assertEqual(code, 1, err)
        self.assertIn("memory", err)
        with open(target, "rb") as f:
            self.assertEqual(f.read(), b"untouched")
        self.assertEqual(sorted(os.listdir(self.dir.name)), ["in.txt", "out.txt"])


if __name__ == "__main__":
    TOOL = sys.argv.pop(1)
    unittest.main()
