#!/usr/bin/env python3
"""Checks the release packages that scripts/package.sh wrote: the checksums, each zip's
folder, contents and SHA256SUMS, the Windows binaries' kind and time stamps, and the Debian
package's fields and contents, installed into a temporary root (dpkg -x) and run from there;
lintian must report no error. With a Wine prefix, tarnwick.exe runs from each unpacked zip.

usage: check_packages.py DIST [--wineprefix DIR]
"""
import gzip
import hashlib
import os
import re
import shutil
import struct
import subprocess
import sys
import tempfile
import unittest
import zipfile

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
DIST = None
WINEPREFIX = None

MACHINES = {"win32": 0x014C, "win64": 0x8664}
ZIP_FILES = ["LICENSE.txt", "README-ja.txt", "SHA256SUMS", "THIRD-PARTY-NOTICES.txt",
             "Tarnwick.dll", "tarnwick.exe"]
DEB_FILES = ["./usr/bin/tarnwick", "./usr/share/doc/tarnwick/README.ja.md.gz",
             "./usr/share/doc/tarnwick/README.md.gz", "./usr/share/doc/tarnwick/changelog.gz",
             "./usr/share/doc/tarnwick/copyright", "./usr/share/doc/tarnwick/tool.md.gz",
             "./usr/share/locale/ja/LC_MESSAGES/tarnwick.mo",
             "./usr/share/man/man1/tarnwick.1.gz"]
SAMPLE = "b 10\r\na 9\nc\n".encode()


def project_version():
    with open(os.path.join(ROOT, "CMakeLists.txt")) as f:
        return re.search(r"project\(Tarnwick VERSION ([\d.]+)", f.read()).group(1)


def sha256(data):
    return hashlib.sha256(data).hexdigest()


def sums(text):
    """name -> checksum, from sha256sum's output."""
    result = {}
    for line in text.splitlines():
        digest, name = line.split(None, 1)
        result[name.lstrip("*")] = digest
    return result


def pe_header(data):
    """(machine, time stamp) of a PE file."""
    offset = struct.unpack_from("<I", data, 0x3C)[0]
    assert data[offset:offset + 4] == b"PE\0\0", "not a PE file"
    machine, _, stamp = struct.unpack_from("<HHI", data, offset + 4)
    return machine, stamp


def run(args, **kwargs):
    return subprocess.run(args, capture_output=True, timeout=300, **kwargs)


class PackagesTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.version = project_version()
        cls.zips = {arch: os.path.join(DIST, "Tarnwick-%s-%s.zip" % (cls.version, arch))
                    for arch in MACHINES}
        cls.deb = os.path.join(DIST, "tarnwick_%s_amd64.deb" % cls.version)
        cls.tmp = tempfile.mkdtemp(prefix="tarnwick-packages.")

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.tmp, ignore_errors=True)

    def test_dist_checksums(self):
        with open(os.path.join(DIST, "SHA256SUMS")) as f:
            listed = sums(f.read())
        names = sorted(os.path.basename(p) for p in [*self.zips.values(), self.deb])
        self.assertEqual(sorted(listed), names)
        for name, digest in listed.items():
            with open(os.path.join(DIST, name), "rb") as f:
                self.assertEqual(sha256(f.read()), digest, name)

    def test_zips(self):
        for arch, path in self.zips.items():
            with self.subTest(arch=arch):
                self.check_zip(arch, path)

    def check_zip(self, arch, path):
        folder = "Tarnwick-%s-%s/" % (self.version, arch)
        with zipfile.ZipFile(path) as archive:
            infos = archive.infolist()
            names = [i.filename for i in infos]
            # One folder named after the package, members in sorted order with one time.
            self.assertEqual(names, sorted(names))
            self.assertEqual(names[0], folder)
            self.assertEqual(sorted(n[len(folder):] for n in names[1:]), ZIP_FILES)
            self.assertTrue(all(n.startswith(folder) for n in names))
            self.assertEqual(len({i.date_time for i in infos}), 1)
            out = os.path.join(self.tmp, arch)
            archive.extractall(out)
        files = {}
        for name in ZIP_FILES:
            with open(os.path.join(out, folder, name), "rb") as f:
                files[name] = f.read()
        listed = sums(files["SHA256SUMS"].decode())
        self.assertEqual(sorted(listed), sorted(n for n in ZIP_FILES if n != "SHA256SUMS"))
        for name, digest in listed.items():
            self.assertEqual(sha256(files[name]), digest, name)
        for name in ("Tarnwick.dll", "tarnwick.exe"):
            # The right machine, and no link time in the header.
            self.assertEqual(pe_header(files[name]), (MACHINES[arch], 0), name)
        # The DLL's version block carries the project version.
        four = (self.version + ".0").encode("utf-16-le")
        self.assertIn(four, files["Tarnwick.dll"])
        guide = files["README-ja.txt"]
        self.assertTrue(guide.startswith(b"\xef\xbb\xbf"), "the guide has a byte-order mark")
        self.assertIn("使い方ガイド".encode(), guide)
        self.assertIn(b"\r\n", guide)
        self.assertIn(b"MIT License", files["LICENSE.txt"])
        if WINEPREFIX:
            wine = [os.path.join(ROOT, "scripts", "wine-run"), WINEPREFIX,
                    os.path.join(out, folder, "tarnwick.exe")]
            proc = run(wine + ["--version"])
            self.assertEqual(proc.stdout.strip(), ("tarnwick " + self.version).encode())
            proc = run(wine + ["sort-numeric"], input=SAMPLE)
            self.assertEqual((proc.returncode, proc.stdout), (0, b"c\na 9\nb 10\r\n"))

    def test_deb_fields_and_contents(self):
        fields = run(["dpkg-deb", "-f", self.deb], check=True).stdout.decode()
        self.assertIn("Package: tarnwick\n", fields)
        self.assertIn("Version: %s\n" % self.version, fields)
        self.assertIn("Architecture: amd64\n", fields)
        depends = re.search(r"^Depends: (.*)$", fields, re.M).group(1)
        for library in ("libc6", "libicu"):
            self.assertIn(library, depends)
        listing = run(["dpkg-deb", "-c", self.deb], check=True).stdout.decode()
        files = sorted(line.split()[-1] for line in listing.splitlines() if line[0] == "-")
        self.assertEqual(files, DEB_FILES)
        for line in listing.splitlines():
            self.assertIn(" root/root ", line)

    def test_deb_installs_and_runs(self):
        root = os.path.join(self.tmp, "root")
        run(["dpkg", "-x", self.deb, root], check=True)
        tool = os.path.join(root, "usr", "bin", "tarnwick")
        proc = run([tool, "--version"])
        self.assertEqual((proc.returncode, proc.stdout.decode()),
                         (0, "tarnwick %s\n" % self.version))
        proc = run([tool, "sort-numeric"], input=SAMPLE)
        self.assertEqual((proc.returncode, proc.stdout), (0, b"c\na 9\nb 10\r\n"))
        # The tool finds its Japanese catalogue beside itself, wherever the package lies.
        proc = run([tool, "nope"], env=dict(os.environ, LC_ALL="C.UTF-8", LANGUAGE="ja"))
        self.assertIn("処理 'nope' はありません", proc.stderr.decode())
        with gzip.open(os.path.join(root, "usr/share/man/man1/tarnwick.1.gz"), "rt") as f:
            self.assertIn('"Tarnwick %s"' % self.version, f.read())

    @unittest.skipUnless(shutil.which("lintian"), "lintian is not installed")
    def test_lintian_reports_no_error(self):
        proc = run(["lintian", "--fail-on", "error", self.deb])
        self.assertEqual(proc.returncode, 0, proc.stdout.decode() + proc.stderr.decode())
        self.assertNotRegex(proc.stdout.decode(), r"(?m)^E: ")


if __name__ == "__main__":
    args = sys.argv[1:]
    if "--wineprefix" in args:
        i = args.index("--wineprefix")
        WINEPREFIX = args[i + 1]
        del args[i:i + 2]
    DIST = args[0]
    unittest.main(argv=sys.argv[:1], verbosity=2)
