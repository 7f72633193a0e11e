#!/usr/bin/env python3
"""Writes the benchmark corpora: deterministic texts of a given number of lines.

Usage: make_corpus.py KIND LINES OUTPUT
KIND is one of: ascii, numbers, japanese, dupes, crlf.
The same arguments always give the same bytes (fixed seeds, no dependence on the clock).
"""
import random
import sys

WORDS = [
    "alpha", "bravo", "charlie", "delta", "echo", "foxtrot", "golf", "hotel", "india",
    "juliet", "kilo", "lima", "mike", "november", "oscar", "papa", "quebec", "romeo",
    "sierra", "tango", "uniform", "victor", "whiskey", "xray", "yankee", "zulu", "Log",
    "ERROR", "warn", "info", "debug", "request", "response", "user", "id", "path",
]
KANA = "あいうえおかきくけこさしすせそたちつてとなにぬねのはひふへほまみむめもやゆよらりるれろわをん"
KATA = "アイウエオカキクケコサシスセソタチツテトナニヌネノハヒフヘホマミムメモヤユヨラリルレロワヲン"
HALF = "ｱｲｳｴｵｶｷｸｹｺｻｼｽｾｿﾀﾁﾂﾃﾄ"
KANJI = "日本語文字列行並替重複削除表示昇順降順辞書整数比較長逆東京大阪名古屋札幌福岡"
FULL_DIGITS = "０１２３４５６７８９"


def ascii_line(rng):
    words = []
    while sum(len(w) + 1 for w in words) < 38:
        words.append(rng.choice(WORDS))
    return " ".join(words)[:44]


def ascii_corpus(rng, n):
    # About 30% of the lines repeat an earlier one.
    lines = []
    for _ in range(n):
        if lines and rng.random() < 0.3:
            lines.append(rng.choice(lines))
        else:
            lines.append(ascii_line(rng))
    return lines


def number(rng):
    value = rng.randint(-10**rng.randint(1, 12), 10**rng.randint(1, 12))
    style = rng.random()
    if style < 0.3:
        return f"{value:,}"
    if style < 0.45:
        text = str(abs(value)).translate(str.maketrans("0123456789", FULL_DIGITS))
        return ("－" if value < 0 else "") + text
    if style < 0.55:
        return ("+" if value >= 0 else "- ") + str(abs(value))
    return str(value)


def numbers_corpus(rng, n):
    out = []
    for _ in range(n):
        parts = [rng.choice(WORDS)]
        for _ in range(rng.randint(1, 4)):
            parts.append(number(rng))
            parts.append(rng.choice(["", "ver", "x", "/", ".", "-"]))
        out.append(" ".join(parts))
    return out


def japanese_line(rng):
    pieces = []
    while sum(len(p.encode("utf-8")) for p in pieces) < 56:
        kind = rng.random()
        if kind < 0.35:
            pieces.append("".join(rng.choice(KANA) for _ in range(rng.randint(1, 4))))
        elif kind < 0.55:
            pieces.append("".join(rng.choice(KANJI) for _ in range(rng.randint(1, 3))))
        elif kind < 0.7:
            pieces.append("".join(rng.choice(KATA) for _ in range(rng.randint(1, 4))))
        elif kind < 0.8:
            pieces.append("".join(rng.choice(HALF) for _ in range(rng.randint(1, 4))))
        else:
            pieces.append(rng.choice(WORDS))
    return "".join(pieces)


def japanese_corpus(rng, n):
    return [japanese_line(rng) for _ in range(n)]


def dupes_corpus(rng, n):
    # A thousand distinct lines, each repeated many times with a skewed frequency.
    distinct = [ascii_line(rng) for _ in range(1000)]
    weights = [1.0 / (i + 1) for i in range(len(distinct))]
    return rng.choices(distinct, weights=weights, k=n)


def main():
    kind, count, output = sys.argv[1], int(sys.argv[2]), sys.argv[3]
    rng = random.Random(f"{kind}:{count}")
    breaks = "\n"
    if kind == "ascii":
        lines = ascii_corpus(rng, count)
    elif kind == "numbers":
        lines = numbers_corpus(rng, count)
    elif kind == "japanese":
        lines = japanese_corpus(rng, count)
    elif kind == "dupes":
        lines = dupes_corpus(rng, count)
    elif kind == "crlf":
        lines, breaks = ascii_corpus(rng, count), "\r\n"
    else:
        sys.exit(f"unknown corpus kind: {kind}")
    text = breaks.join(lines)
    if kind != "crlf":
        text += breaks  # the CR LF corpus keeps its last line without a break
    with open(output, "w", encoding="utf-8", newline="") as f:
        f.write(text)


if __name__ == "__main__":
    main()
