#!/usr/bin/python3
"""Times every tarnwick operation against the nearest standard tool, whole process, in turns.

Usage: compare_tools.py [--tarnwick PATH] [--runs N] [--out DIR] [--quick | --chart-only]

Writes DIR/benchmarks.md (medians, ratios, goals) and DIR/scaling.svg + .png (time against
line count). The peers need the en_US.UTF-8 and ja_JP.UTF-8 locales; the script checks
`locale -a` first and says how to generate them when they are missing.
"""
import argparse
import os
import shlex
import statistics
import subprocess
import sys
import time
from pathlib import Path

HERE = Path(__file__).resolve().parent
CORPUS_DIR = Path(os.environ.get("TARNWICK_CORPUS_DIR", "/tmp/tarnwick-corpus"))

# name, corpus, tarnwick arguments, peer shell command, goal ratio (None: reported only), locale
CASES = [
    ("dictionary sort", "ascii", "--locale en_US sort", "sort", 1.0, "en_US.UTF-8"),
    ("dictionary sort, descending", "ascii", "--locale en_US sort-desc", "sort -r", 1.0,
     "en_US.UTF-8"),
    ("dictionary sort, Japanese", "japanese", "--locale ja sort", "sort", 0.25, "ja_JP.UTF-8"),
    ("sort from the line's end", "ascii", "--locale en_US sort-rev", "rev | sort | rev", 1.0,
     "en_US.UTF-8"),
    ("numeric sort", "numbers", "sort-numeric", "sort -V", 1.0, "en_US.UTF-8"),
    ("length sort", "ascii", "sort-length",
     "awk '{ print length($0) \"\\t\" $0 }' | sort -n -s | cut -f2-", None, "C.UTF-8"),
    ("reverse", "ascii", "reverse", "tac", 5.0, "C.UTF-8"),
    ("delete duplicates", "ascii", "dedupe", "awk '!seen[$0]++'", 0.5, "C.UTF-8"),
    ("count duplicates", "ascii", "count", "sort | uniq -c | sort -rn", 0.5, "C"),
    ("count duplicates, many repeats", "dupes", "count", "sort | uniq -c | sort -rn", 0.5, "C"),
    ("delete duplicates, CR LF", "crlf", "dedupe", "awk '!seen[$0]++'", 0.5, "C.UTF-8"),
]


NEEDED_LOCALES = ["en_US.UTF-8", "ja_JP.UTF-8"]


def check_locales():
    """Exits with instructions when a locale the peers run in is not installed."""
    listed = subprocess.run(["locale", "-a"], capture_output=True, text=True, check=True).stdout
    # locale -a prints names like en_US.utf8: compare without case and punctuation.
    have = {name.lower().replace("-", "").replace("_", "") for name in listed.split()}
    missing = [name for name in NEEDED_LOCALES
               if name.lower().replace("-", "").replace("_", "") not in have]
    if missing:
        sys.exit("missing locales: " + ", ".join(missing) + "\nGenerate them as root with:\n"
                 "  apt-get install -y locales\n"
                 + "".join(f"  sed -i 's/^# *{name} UTF-8/{name} UTF-8/' /etc/locale.gen\n"
                           for name in missing)
                 + "  locale-gen")


def check_matplotlib():
    """Exits before the long run when the chart could not be drawn at its end."""
    try:
        import matplotlib  # noqa: F401
    except ImportError:
        sys.exit(f"{sys.executable} has no matplotlib: install python3-matplotlib and run the "
                 "script with the system's Python (/usr/bin/python3), or pass --quick")


def corpus(kind, lines):
    CORPUS_DIR.mkdir(parents=True, exist_ok=True)
    path = CORPUS_DIR / f"{kind}-{lines}.txt"
    if not path.exists():
        subprocess.run([sys.executable, str(HERE / "make_corpus.py"), kind, str(lines), str(path)],
                       check=True)
    return path


def run_once(command, locale):
    """Runs one shell command with output discarded; returns (wall seconds, peak KiB)."""
    env = dict(os.environ, LC_ALL=locale)
    start = time.perf_counter()
    proc = subprocess.Popen(["bash", "-c", command], stdout=subprocess.DEVNULL, env=env)
    _, status, usage = os.wait4(proc.pid, 0)
    wall = time.perf_counter() - start
    if os.waitstatus_to_exitcode(status) != 0:
        sys.exit(f"command failed: {command}")
    return wall, usage.ru_maxrss


def measure_pair(ours, peer, locale, runs):
    """Runs the two commands in turns after one warm-up each; returns their samples."""
    run_once(ours, locale)
    run_once(peer, locale)
    a, b = [], []
    for _ in range(runs):
        a.append(run_once(ours, locale))
        b.append(run_once(peer, locale))
    return a, b


def median(samples, index=0):
    return statistics.median(s[index] for s in samples)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--tarnwick", default=str(HERE.parent / "build/linux/cli/tarnwick"))
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--out", default=str(HERE.parent / "docs"))
    parser.add_argument("--quick", action="store_true", help="100,000 lines only, no chart")
    parser.add_argument("--chart-only", action="store_true", help="only draw the chart")
    args = parser.parse_args()
    check_locales()
    if not os.access(args.tarnwick, os.X_OK):
        sys.exit(f"{args.tarnwick} not found: build it first (cmake --preset linux && "
                 "cmake --build --preset linux)")
    tool = shlex.quote(args.tarnwick)
    out = Path(args.out)
    out.mkdir(parents=True, exist_ok=True)

    if not args.quick:
        check_matplotlib()
    if args.chart_only:
        write_chart(out, tool)
        return
    big = 100_000 if args.quick else 1_000_000
    rows = []
    for name, kind, targs, peer, goal, locale in CASES:
        path = shlex.quote(str(corpus(kind, big)))
        ours = f"{tool} {targs} {path}"
        theirs = f"< {path} {peer}"  # a leading redirection feeds the first command of a pipeline
        a, b = measure_pair(ours, theirs, locale, args.runs)
        small = corpus(kind, big // 10)
        small_time = statistics.median(
            run_once(f"{tool} {targs} {shlex.quote(str(small))}", locale)[0]
            for _ in range(args.runs))
        size_kib = os.path.getsize(corpus(kind, big)) / 1024
        rows.append(dict(name=name, peer=peer, locale=locale, ours=median(a), theirs=median(b),
                         goal=goal, scale=median(a) / small_time, memory=median(a, 1) / size_kib))
        print(f"{name:34} {median(a):7.3f} s  vs {median(b):7.3f} s  ({peer})", flush=True)

    write_table(out / "benchmarks.md", rows, big, args.runs)
    if not args.quick:
        write_chart(out, tool)


def verdict(ok):
    return "met" if ok else "**missed**"


def write_table(path, rows, lines, runs):
    with open(path, "w", encoding="utf-8") as f:
        f.write(f"# Tarnwick against the standard tools\n\n"
                f"Whole process, UTF-8 in and out, {lines:,} lines, median of {runs} runs taken "
                f"in turns with the peer. Written by `bench/compare_tools.py`.\n\n"
                "| operation | tarnwick (s) | peer | peer (s) | ratio | goal | 10x lines costs | "
                "peak memory / input |\n|---|---|---|---|---|---|---|---|\n")
        for r in rows:
            ratio = r["ours"] / r["theirs"]
            goal = "—" if r["goal"] is None else f"≤ {r['goal']:g}x, {verdict(ratio <= r['goal'])}"
            peer = r["peer"].replace("|", "\\|")  # a pipe would end the table cell
            f.write(f"| {r['name']} | {r['ours']:.3f} | `{peer}` ({r['locale']}) | "
                    f"{r['theirs']:.3f} | {ratio:.2f}x | {goal} | {r['scale']:.1f}x, "
                    f"{verdict(r['scale'] <= 12)} | {r['memory']:.1f}x, "
                    f"{verdict(r['memory'] <= 8)} |\n")


def write_chart(out, tool):
    import matplotlib
    matplotlib.use("Agg")
    import matplotlib.pyplot as plt

    sizes = [10_000, 30_000, 100_000, 300_000, 1_000_000]
    fig, ax = plt.subplots(figsize=(8, 5))
    for name, kind, targs, _, _, locale in CASES:
        if "CR LF" in name or "many repeats" in name:
            continue
        times = []
        for n in sizes:
            path = shlex.quote(str(corpus(kind, n)))
            times.append(statistics.median(run_once(f"{tool} {targs} {path}", locale)[0]
                                           for _ in range(3)))
        ax.plot(sizes, times, marker="o", label=name)
    ax.set_xscale("log")
    ax.set_yscale("log")
    ax.set_xlabel("lines")
    ax.set_ylabel("seconds, whole process (median of 3)")
    ax.set_title("tarnwick: time against line count")
    ax.grid(True, which="both", alpha=0.3)
    ax.legend(fontsize=8)
    fig.tight_layout()
    fig.savefig(out / "scaling.svg")
    fig.savefig(out / "scaling.png", dpi=100)


if __name__ == "__main__":
    main()
