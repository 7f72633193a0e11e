#!/usr/bin/env python3
"""Writes the benchmark corpora: deterministic texts of a given number of lines.

Usage: make_corpus.py KIND LINES OUTPUT
KIND is one of the names in KINDS below. The same arguments always give the same bytes (fixed
seeds, no dependence on the clock or the machine). Every kind is UTF-8 except sjis and utf16,
which are the mixed text converted by iconv (Shift_JIS, and UTF-16 with its byte-order mark).
"""
import random
import subprocess
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
# The non-ASCII pieces that turn up in otherwise English text.
SCATTERED = ["°C", "°F", "１", "２", "７", "José", "Zoë", "Müller", "Ångström", "Renée",
             "naïve", "café", "µs", "€", "±"]
UNITS = ["ms", "s", "KB", "MB", "GB", "%", "km/h", "kg", "V", "W", "Hz", "°C", "rpm", "req/s"]
B64 = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/"


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
    pieces, size = [], 0
    while size < 56:
        kind = rng.random()
        if kind < 0.35:
            piece = "".join(rng.choices(KANA, k=rng.randint(1, 4)))
        elif kind < 0.55:
            piece = "".join(rng.choices(KANJI, k=rng.randint(1, 3)))
        elif kind < 0.7:
            piece = "".join(rng.choices(KATA, k=rng.randint(1, 4)))
        elif kind < 0.8:
            piece = "".join(rng.choices(HALF, k=rng.randint(1, 4)))
        else:
            piece = rng.choice(WORDS)
        pieces.append(piece)
        size += len(piece.encode("utf-8"))
    return "".join(pieces)


def japanese_corpus(rng, n):
    return [japanese_line(rng) for _ in range(n)]


def dupes_corpus(rng, n):
    # A thousand distinct lines, each repeated many times with a skewed frequency.
    distinct = [ascii_line(rng) for _ in range(1000)]
    weights = [1.0 / (i + 1) for i in range(len(distinct))]
    return rng.choices(distinct, weights=weights, k=n)


def scattered_corpus(rng, n):
    # English text; about one line in fifty carries one non-ASCII piece (a unit, a full-width
    # digit, an accented name), so the text is long ASCII runs broken here and there.
    lines = ascii_corpus(rng, n)
    for i in range(n):
        if rng.random() < 0.02:
            words = lines[i].split(" ")
            words.insert(rng.randint(0, len(words)), rng.choice(SCATTERED))
            lines[i] = " ".join(words)
    return lines


def mixed_line(rng):
    # Japanese and ASCII alternate within the line, as in notes written in both.
    pieces, size = [], 0
    while size < 60:
        kind = rng.random()
        if kind < 0.4:
            piece = rng.choice(WORDS)
        elif kind < 0.55:
            piece = str(rng.randrange(10000))
        elif kind < 0.75:
            piece = "".join(rng.choices(KANA, k=rng.randint(1, 4)))
        elif kind < 0.9:
            piece = "".join(rng.choices(KANJI, k=rng.randint(1, 3)))
        else:
            piece = "".join(rng.choices(KATA, k=rng.randint(1, 4)))
        if rng.random() < 0.5:
            piece += " "
        pieces.append(piece)
        size += len(piece.encode("utf-8"))
    return "".join(pieces).rstrip()


def mixed_corpus(rng, n):
    return [mixed_line(rng) for _ in range(n)]


def units_line(rng):
    # A log line of measurements: many numbers, each with a unit.
    parts = [f"{rng.randint(0, 23):02d}:{rng.randint(0, 59):02d}:{rng.randint(0, 59):02d}",
             rng.choice(WORDS)]
    for _ in range(rng.randint(2, 5)):
        value = rng.choice([str(rng.randint(0, 100000)), f"{rng.uniform(0, 1000):.2f}"])
        parts.append(f"{rng.choice(WORDS)}={value}{rng.choice(['', ' '])}{rng.choice(UNITS)}")
    return " ".join(parts)


def units_corpus(rng, n):
    return [units_line(rng) for _ in range(n)]


LOG_WORDS = ["ログイン", "接続", "失敗", "完了", "警告", "ユーザー", "注文", "温度", "東京", "大阪",
             "サーバー", "再試行", "切断", "応答"]


def big_number(rng):
    # Past the signed 64-bit range (19 digits and more), as ids, hashes and counters print.
    return str(rng.randrange(10**19, 10**rng.randint(20, 26)))


def logs_line(rng, dates, times):
    # A date from a few days and a time from a few seconds, so that many lines tie on their
    # leading numbers and are told apart by the rest or, as for equal numbers, by the text.
    head = rng.choice(dates)
    if rng.random() < 0.6:
        head += " " + rng.choice(times)
    kind = rng.random()
    if kind < 0.2:
        port = str(rng.randint(1, 65535)) if rng.random() < 0.6 else big_number(rng)
        body = f"{rng.choice(['port', 'id', 'session'])} {port}"
    elif kind < 0.38:
        value = rng.randint(-10**rng.randint(1, 12), 10**rng.randint(1, 12))
        user = f"{rng.randint(0, 999_999):,}"
        body = f"temp {value}°C, user {user}"
    elif kind < 0.56:
        body = (f"order #{rng.randint(1, 2000)} qty {rng.randint(1, 20)} price "
                f"{rng.randint(0, 999)}.{rng.randint(0, 99):02d}")
    elif kind < 0.7:
        amount = f"{rng.randint(0, 10**rng.randint(3, 9)):,}.{rng.randint(0, 99):02d}"
        body = f"{rng.choice(WORDS)} amount {amount} {rng.choice(['JPY', 'USD', 'EUR'])}"
    elif kind < 0.85:
        count = str(rng.randint(0, 500)).translate(str.maketrans("0123456789", FULL_DIGITS))
        body = (f"{rng.choice(LOG_WORDS)}{rng.choice(LOG_WORDS)} "
                f"{rng.choice(['回数', '件数', '番号'])} {count}")
    else:
        body = f"{rng.choice(WORDS)} {rng.choice(LOG_WORDS)} {rng.choice(WORDS)} {big_number(rng)}"
    return f"{head} {body}"


def logs_corpus(rng, n):
    # About a third of the lines repeat an earlier one, as a log repeats its messages.
    dates = [f"2011-{m:02d}-{d:02d}" for m in (6, 7) for d in range(1, 31, 2)]
    times = [f"{rng.randint(0, 23):02d}:{rng.randint(0, 59):02d}:{rng.randint(0, 59):02d}"
             for _ in range(60)]
    lines = []
    for _ in range(n):
        if lines and rng.random() < 1 / 3:
            lines.append(rng.choice(lines))
        else:
            lines.append(logs_line(rng, dates, times))
    return lines


def short_corpus(_rng, n):
    # What `seq N` prints.
    return [str(i) for i in range(1, n + 1)]


def long_corpus(rng, n):
    # Very long lines: every line is a record with a base64 payload of 200 to 1,000 bytes, and
    # one line in a thousand carries 20 to 60 KB (a minified document or an embedded file).
    # The payloads are slices of one random pool: drawing each byte would take minutes.
    pool = "".join(rng.choices(B64, k=1 << 20))
    lines = []
    for i in range(n):
        size = rng.randint(20_000, 60_000) if rng.random() < 0.001 else rng.randint(200, 1000)
        start = rng.randrange(len(pool) - size)
        lines.append(f"{rng.choice(WORDS)} {i % 9973} {pool[start:start + size]}")
    return lines


KINDS = {
    "ascii": ascii_corpus,
    "numbers": numbers_corpus,
    "japanese": japanese_corpus,
    "dupes": dupes_corpus,
    "crlf": ascii_corpus,
    "scattered": scattered_corpus,
    "mixed": mixed_corpus,
    "units": units_corpus,
    "logs": logs_corpus,
    "short": short_corpus,
    "long": long_corpus,
    "sjis": mixed_corpus,
    "utf16": mixed_corpus,
}
# Kinds written through iconv, with its target encoding.
ICONV_TARGET = {"sjis": "SHIFT_JIS", "utf16": "UTF-16"}


def main():
    if len(sys.argv) != 4 or sys.argv[1] not in KINDS:
        sys.exit(__doc__.strip() + "\nKINDS: " + ", ".join(KINDS))
    kind, count, output = sys.argv[1], int(sys.argv[2]), sys.argv[3]
    rng = random.Random(f"{kind}:{count}")
    lines = KINDS[kind](rng, count)
    breaks = "\r\n" if kind == "crlf" else "\n"
    text = breaks.join(lines)
    if kind != "crlf":
        text += breaks  # the CR LF corpus keeps its last line without a break
    data = text.encode("utf-8")
    if kind in ICONV_TARGET:
        data = subprocess.run(["iconv", "-f", "UTF-8", "-t", ICONV_TARGET[kind]], input=data,
                              capture_output=True, check=True).stdout
    with open(output, "wb") as f:
        f.write(data)


if __name__ == "__main__":
    main()
