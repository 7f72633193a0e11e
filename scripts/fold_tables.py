#!/usr/bin/env python3
"""Writes strings/FoldTables.cpp, the character data of the tool's folds, from ICU's data.

usage: fold_tables.py [OUTPUT]   (default: strings/FoldTables.cpp beside this script's folder)

Compiles a small program against this machine's ICU (libicu-dev, c++, pkg-config) that lists
for every code point: its <wide> or <narrow> compatibility form (the width fold), the capital of
its simple case folding (the case fold), whether canonical composition may join it to the
character before it (no NFC boundary before it), and the kana that compose with the combining
voiced and semi-voiced marks. The lists are written as ranges with a delta, so the file stays
small. The same file is compiled into every build, so that the folds agree everywhere.
"""
import os
import shutil
import subprocess
import sys
import tempfile

DUMPER = r"""
#include <unicode/uchar.h>
#include <unicode/unorm2.h>
#include <unicode/utf16.h>
#include <unicode/uversion.h>
#include <cstdio>

int main() {
  UErrorCode status = U_ZERO_ERROR;
  const UNormalizer2* nfc = unorm2_getNFCInstance(&status);
  const UNormalizer2* nfkc = unorm2_getNFKCInstance(&status);
  if (U_FAILURE(status)) return 1;
  std::printf("version %s %s\n", U_ICU_VERSION, U_UNICODE_VERSION);
  for (UChar32 c = 0; c <= 0x10FFFF; ++c) {
    const int type = u_getIntPropertyValue(c, UCHAR_DECOMPOSITION_TYPE);
    if (type == U_DT_WIDE || type == U_DT_NARROW) {
      UChar form[8];
      UErrorCode error = U_ZERO_ERROR;
      const int32_t n = unorm2_getRawDecomposition(nfkc, c, form, 8, &error);
      UChar32 d = -1;
      int32_t i = 0;
      if (n > 0) U16_NEXT(form, i, n, d);
      if (U_FAILURE(error) || i != n) return 2;
      std::printf("width %X %X\n", c, d);
    }
    const UChar32 folded = u_foldCase(c, U_FOLD_CASE_DEFAULT);
    const UChar32 capital = u_toupper(folded);
    const UChar32 key = u_foldCase(capital, U_FOLD_CASE_DEFAULT) == folded ? capital : folded;
    if (key != c) std::printf("case %X %X\n", c, key);
    if (!unorm2_hasBoundaryBefore(nfc, c)) std::printf("joins %X\n", c);
    if (unorm2_composePair(nfc, c, 0x3099) >= 0) std::printf("voiced %X\n", c);
    if (unorm2_composePair(nfc, c, 0x309A) >= 0) std::printf("semivoiced %X\n", c);
  }
  return 0;
}
"""


def dump():
    with tempfile.TemporaryDirectory() as tmp:
        source = os.path.join(tmp, "dump.cpp")
        program = os.path.join(tmp, "dump")
        with open(source, "w") as f:
            f.write(DUMPER)
        flags = subprocess.run(["pkg-config", "--cflags", "--libs", "icu-uc"], check=True,
                               capture_output=True, text=True).stdout.split()
        subprocess.run(["c++", "-O1", "-o", program, source] + flags, check=True)
        return subprocess.run([program], check=True, capture_output=True, text=True).stdout


def ranges(pairs):
    """(code point, target) pairs as [first, last, delta, step]: every step-th code point from
    first to last maps to itself + delta (step 2 for the alternating capitals and smalls)."""
    out = []
    for c, target in sorted(pairs):
        delta = target - c
        if out and out[-1][2] == delta:
            first, last, _, step = out[-1]
            if first == last and c - last in (1, 2):
                out[-1][1], out[-1][3] = c, c - last
                continue
            if c - last == step:
                out[-1][1] = c
                continue
        out.append([c, c, delta, 1])
    return out


def spans(points):
    out = []
    for c in sorted(points):
        if out and out[-1][1] == c - 1:
            out[-1][1] = c
        else:
            out.append([c, c])
    return out


def table(rows, per_line):
    lines, line = [], []
    for row in rows:
        line.append(row)
        if len(line) == per_line:
            lines.append("    " + " ".join(line))
            line = []
    if line:
        lines.append("    " + " ".join(line))
    return "\n".join(lines)


def main():
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    output = sys.argv[1] if len(sys.argv) > 1 else os.path.join(root, "strings", "FoldTables.cpp")
    width, case, joins, voiced, semivoiced = [], [], [], [], []
    version = ""
    for line in dump().splitlines():
        kind, *values = line.split()
        if kind == "version":
            version = f"ICU {values[0]}, Unicode {values[1]}"
            continue
        points = [int(v, 16) for v in values]
        {"width": width, "case": case, "voiced": voiced, "semivoiced": semivoiced,
         "joins": joins}[kind].append(points[0] if len(points) == 1 else tuple(points))
    joins = [c for c in joins if c <= 0xFFFF]
    # The folds' results must never be joined to the character before them, so that a text
    # folds character by character where composition leaves it alone.
    joining = set(joins)
    for c, target in width + case:
        if c not in joining and target in joining and c not in (0xFF9E, 0xFF9F):
            sys.exit(f"U+{c:04X} folds to U+{target:04X}, which composition joins")
    rows = lambda pairs: [f"{{0x{a:04X}, 0x{b:04X}, {'-' if d < 0 else ''}0x{abs(d):X}, {s}}},"
                          for a, b, d, s in ranges(pairs)]
    units = lambda points: [f"0x{c:04X}," for c in sorted(points)]
    text = f"""// Generated by scripts/fold_tables.py from {version}: do not edit.
#include "strings/FoldTables.h"

namespace FoldTables {{

const TRange kWidthForms[] = {{
{table(rows(width), 3)}
}};
const size_t kWidthFormsCount = std::size(kWidthForms);

const TRange kCaseFolds[] = {{
{table(rows(case), 3)}
}};
const size_t kCaseFoldsCount = std::size(kCaseFolds);

const TSpan kJoinedByComposition[] = {{
{table([f"{{0x{a:04X}, 0x{b:04X}}}," for a, b in spans(joins)], 5)}
}};
const size_t kJoinedByCompositionCount = std::size(kJoinedByComposition);

const char16_t kTakeVoicedMark[] = {{
{table(units(voiced), 8)}
}};
const size_t kTakeVoicedMarkCount = std::size(kTakeVoicedMark);

const char16_t kTakeSemiVoicedMark[] = {{
{table(units(semivoiced), 8)}
}};
const size_t kTakeSemiVoicedMarkCount = std::size(kTakeSemiVoicedMark);

}}  // namespace FoldTables
"""
    with open(output, "w") as f:
        f.write(text)
    # In the repository's own layout.
    if shutil.which("clang-format"):
        subprocess.run(["clang-format", "-i", output], check=True)


if __name__ == "__main__":
    main()
