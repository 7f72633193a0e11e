#!/usr/bin/python3
"""Times tarnwick against the standard tools, its growth from 100,000 to 1,000,000 lines on
every corpus, and the plug-in's command through OnCommand against the simulated editor.

Usage:
  compare_tools.py [--quick] [--out DIR]           measure; write the report into DIR
  compare_tools.py --publish [--wait-idle SECONDS] measure on an idle machine; write docs/ and
                                                   the README's table, or refuse when busy
  compare_tools.py --render RESULTS.json [--publish]   rewrite the report from saved samples
  compare_tools.py --corpora                       only write the corpora

Every figure is a whole process (start, reading, work, writing to /dev/null). Before each pair
the script records the load average and the cores, and it measures how much CPU time other
processes took while the pair ran (the machine's busy time from /proc/stat less this script's
and its children's). A run whose machine was busy at its start or during any measurement is
marked busy in every output; --publish refuses to write docs/ or the README from it.

Needs the en_US.UTF-8 and ja_JP.UTF-8 locales, GNU coreutils, GNU time, mawk, iconv,
python3-matplotlib, and for the plug-in under Wine the build trees build/win32 and build/win64.
"""
import argparse
import datetime
import hashlib
import json
import os
import platform
import resource
import shlex
import statistics
import subprocess
import sys
import tempfile
import textwrap
import threading
import time
from pathlib import Path

HERE = Path(__file__).resolve().parent
ROOT = HERE.parent
CORPUS_ROOT = Path(os.environ.get("TARNWICK_CORPUS_DIR", "/tmp/tarnwick-corpus"))
SCRATCH = Path("/tmp/tarnwick-bench")
# Prose that docs/benchmarks.md carries after the tables: where the costs lie, how to measure.
NOTES = HERE / "benchmarks-notes.md"
README_BEGIN = "<!-- benchmark table: written by bench/compare_tools.py --publish -->"
README_END = "<!-- end of benchmark table -->"
TIMEOUT_S = 300  # one command; a quadratic fault shows as a timeout, not as a hang

# The twelve operations, by the tool's names, in menu order.
OPERATIONS = ["sort", "sort-desc", "sort-rev", "sort-rev-desc", "sort-numeric",
              "sort-numeric-desc", "sort-length", "sort-length-desc", "reverse", "dedupe",
              "count", "highlight"]

# Corpus kind: (description, tarnwick's collation locale, extra tarnwick arguments).
CORPORA = {
    "ascii": ("English words, about 40 bytes a line, 30% repeated lines", "en_US", ""),
    "numbers": ("a word and one to four numbers a line: grouping commas, signs, full-width "
                "digits", "en_US", ""),
    "japanese": ("kana, kanji, half-width katakana and a few English words", "ja", ""),
    "dupes": ("1,000 distinct lines repeated with a skewed frequency", "en_US", ""),
    "crlf": ("the English corpus with CR LF breaks and no final break", "en_US", ""),
    "scattered": ("English with one non-ASCII piece in about one line in fifty (°C, a "
                  "full-width digit, an accented name)", "en_US", ""),
    "mixed": ("Japanese and English mixed within each line", "ja", ""),
    "units": ("log lines of measurements with units (ms, MB, km/h, °C, ...)", "en_US", ""),
    "logs": ("log lines under dates and times that many lines share: ports and ids, signed "
             "temperatures in °C, grouped and decimal amounts, numbers past 64 bits, full-width "
             "digits, Japanese words; a third of the lines repeat earlier ones", "en_US", ""),
    "short": ("`seq N`: very short lines", "en_US", ""),
    "long": ("very long lines: records with 200-1,000 byte payloads, one in a thousand of "
             "20-60 KB", "en_US", ""),
    "sjis": ("the mixed text converted to Shift_JIS by iconv", "ja", "-e Shift_JIS"),
    "utf16": ("the mixed text converted to UTF-16 (with its byte-order mark) by iconv", "ja", ""),
}

POSIX_LOCALE = {"en_US": "en_US.UTF-8", "ja": "ja_JP.UTF-8"}
SORT_THREADS = "sort: up to {sort} threads (its default `--parallel`)"
SAME_THREADS = "tarnwick: as many as the row's own"
FOLDS = "--ignore-case --ignore-width --ignore-kana"


def peer_cases(big, short_lines):
    """The comparisons with a goal, then the other comparisons (goal None).

    Each: name, corpus, lines, tarnwick arguments, peer command, peer locale, peer threads,
    time goal, memory goal (peak memory over the peer's)."""
    return [
        ("dictionary sort, en_US, ASCII words", "ascii", big, "--locale en_US sort", "sort",
         "en_US.UTF-8", SORT_THREADS, 0.5, None),
        ("dictionary sort, ja_JP, Japanese", "japanese", big, "--locale ja sort", "sort",
         "ja_JP.UTF-8", SORT_THREADS, 0.08, None),
        ("numeric sort, number-heavy mixed text", "numbers", big, "sort-numeric", "sort -V", "C",
         SORT_THREADS, 0.3, None),
        ("numeric sort, log lines that tie on their numbers", "logs", big, "sort-numeric",
         "sort -V", "C", SORT_THREADS, 0.3, None),
        ("reverse", "ascii", big, "reverse", "tac", "C.UTF-8", "tac: 1", 2.0, None),
        ("delete duplicates", "ascii", big, "dedupe", "awk '!seen[$0]++'", "C.UTF-8",
         "mawk: 1", 0.12, None),
        ("count duplicates", "ascii", big, "count", "sort | uniq -c | sort -rn", "C",
         "three processes at once; " + SORT_THREADS, 0.3, None),
        (f"sort of {short_lines:,} short lines, en_US", "short",
         short_lines, "--locale en_US sort", "sort", "en_US.UTF-8", SORT_THREADS, 0.6, 1.0),
    ], [
        ("dictionary sort, descending", "ascii", big, "--locale en_US sort-desc", "sort -r",
         "en_US.UTF-8", SORT_THREADS, None, None),
        ("sort from the line's end", "ascii", big, "--locale en_US sort-rev", "rev | sort | rev",
         "en_US.UTF-8", "three processes at once; " + SORT_THREADS, None, None),
        ("length sort", "ascii", big, "sort-length",
         "awk '{ print length($0) \"\\t\" $0 }' | sort -n -s | cut -f2-", "C.UTF-8",
         "three processes at once; " + SORT_THREADS, None, None),
        ("count duplicates, many repeats", "dupes", big, "count", "sort | uniq -c | sort -rn",
         "C", "three processes at once; " + SORT_THREADS, None, None),
        ("delete duplicates, CR LF", "crlf", big, "dedupe", "awk '!seen[$0]++'", "C.UTF-8",
         "mawk: 1", None, None),
        ("shuffle", "ascii", big, "shuffle --seed 1", "shuf", "C.UTF-8", "shuf: 1", 1.5, None),
        # Past the buffer: both sides sort in runs in temporary files and merge them.
        ("dictionary sort past a 16 MiB buffer, en_US, ASCII words", "ascii", big,
         "--locale en_US -S 16M sort", "sort -S 16M", "en_US.UTF-8", SORT_THREADS, 0.5, None),
        ("dictionary sort past a 16 MiB buffer, ja_JP, Japanese", "japanese", big,
         "--locale ja -S 16M sort", "sort -S 16M", "ja_JP.UTF-8", SORT_THREADS, 0.5, None),
        ("code-point sort past a 16 MiB buffer", "ascii", big, "--locale C -S 16M sort",
         "sort -S 16M", "C", SORT_THREADS, 1.0, None),
        # The folds against the same operation without them: what folding each line costs.
        ("delete duplicates ignoring case, width and kana, Japanese", "japanese", big,
         f"{FOLDS} dedupe", "tarnwick dedupe", "C.UTF-8", SAME_THREADS, 2.0, None),
        ("delete duplicates ignoring case, width and kana, English", "ascii", big,
         f"{FOLDS} dedupe", "tarnwick dedupe", "C.UTF-8", SAME_THREADS, 2.0, None),
        ("dictionary sort ignoring case, ja_JP, Japanese", "japanese", big,
         "--locale ja --ignore-case sort", "tarnwick --locale ja sort", "ja_JP.UTF-8",
         SAME_THREADS, 1.3, None),
        ("dictionary sort ignoring case, en_US, ASCII words", "ascii", big,
         "--locale en_US --ignore-case sort", "tarnwick --locale en_US sort", "en_US.UTF-8",
         SAME_THREADS, 1.3, None),
    ]


def peer_command(peer, tool):
    """The peer as a shell command: a peer that starts with "tarnwick" is the tool measured."""
    if peer.split()[0] == "tarnwick":
        return shlex.quote(tool) + peer[len("tarnwick"):]
    return peer


# ---------------------------------------------------------------------------------------------
# The machine


def cores():
    return len(os.sched_getaffinity(0))


def machine_state():
    """The load averages and the cores, as recorded before each pair."""
    one, five, fifteen = os.getloadavg()
    return {"load1": one, "load5": five, "load15": fifteen, "cores": cores(),
            "cpus": os.cpu_count()}


def cpu_counters():
    """(jiffies not idle, this process's and its waited children's CPU seconds, wall clock)."""
    with open("/proc/stat") as f:
        fields = [int(x) for x in f.readline().split()[1:9]]  # user .. steal; guest is in user
    user, nice, system, idle, iowait, irq, softirq, steal = fields
    busy = user + nice + system + irq + softirq + steal  # steal: another guest had our CPU
    own = sum(resource.getrusage(who).ru_utime + resource.getrusage(who).ru_stime
              for who in (resource.RUSAGE_SELF, resource.RUSAGE_CHILDREN))
    return busy, own, time.perf_counter()


def others_share(before, after):
    """The share of the machine's CPU time (0..1) that other processes used in between."""
    busy = (after[0] - before[0]) / os.sysconf("SC_CLK_TCK")
    own = after[1] - before[1]
    wall = after[2] - before[2]
    return max(0.0, busy - own) / (wall * cores()) if wall > 0 else 0.0


def quiet_share(seconds):
    """Other processes' share of the CPU over a pause in which this script runs nothing."""
    before = cpu_counters()
    time.sleep(seconds)
    return others_share(before, cpu_counters())


def wait_for_idle(max_load, max_others, limit_s):
    """Waits until the 1-minute load is below max_load and nothing else takes the CPU; returns
    whether it was reached within limit_s seconds."""
    deadline = time.monotonic() + limit_s
    while True:
        load = os.getloadavg()[0]
        if load < max_load and quiet_share(2) < max_others:
            return True
        if time.monotonic() >= deadline:
            return False
        print(f"waiting for an idle machine: 1-minute load {load:.2f}"
              + (f" (need < {max_load})" if max_load != float("inf") else ""), flush=True)
        time.sleep(15)


def first_line(command):
    try:
        out = subprocess.run(command, capture_output=True, text=True, timeout=10)
        return (out.stdout or out.stderr).splitlines()[0].strip()
    except (OSError, IndexError, subprocess.TimeoutExpired):
        return "unknown"


def git(*args):
    out = subprocess.run(["git", "-C", str(ROOT), *args], capture_output=True, text=True)
    return out.stdout.strip()


def machine_info(tool):
    model = "unknown"
    with open("/proc/cpuinfo") as f:
        for line in f:
            if line.startswith("model name"):
                model = line.split(":", 1)[1].strip()
                break
    with open("/proc/meminfo") as f:
        mem_kib = int(f.readline().split()[1])
    help_text = subprocess.run([tool, "--help"], capture_output=True, text=True).stdout
    has_threads = "--threads" in help_text
    dirty = git("status", "--porcelain", "--untracked-files=no", "--", ".", ":!docs",
                ":!README.md")
    return {
        "cpu": model, "cores": cores(), "memory_gib": round(mem_kib / 2**20, 1),
        "kernel": platform.release(), "python": platform.python_version(),
        "tarnwick": first_line([tool, "--version"]), "commit": git("rev-parse", "--short", "HEAD"),
        "tree_changed": bool(dirty),
        "sort": first_line(["sort", "--version"]), "awk": first_line(["mawk", "-W", "version"]),
        "tac": first_line(["tac", "--version"]),
        # The tool's default is the cores available, at most 8, once it has --threads.
        "tarnwick_threads": min(cores(), 8) if has_threads else 1,
        "tarnwick_has_threads_option": has_threads,
        "sort_threads": min(cores(), 8),
    }


# ---------------------------------------------------------------------------------------------
# Corpora and commands


def corpus_dir():
    # Keyed by the generator's text, so that a changed generator never reuses old files.
    digest = hashlib.sha256((HERE / "make_corpus.py").read_bytes()).hexdigest()[:12]
    return CORPUS_ROOT / digest


def corpus(kind, lines):
    folder = corpus_dir()
    folder.mkdir(parents=True, exist_ok=True)
    path = folder / f"{kind}-{lines}.txt"
    if not path.exists():
        print(f"writing corpus {kind} of {lines:,} lines", flush=True)
        part = path.with_suffix(".part")
        subprocess.run([sys.executable, str(HERE / "make_corpus.py"), kind, str(lines),
                        str(part)], check=True)
        part.rename(path)
    return path


def warm(path):
    """Reads the file once so that every timed run finds it in the page cache."""
    with open(path, "rb") as f:
        while f.read(1 << 24):
            pass


def run_once(command, locale):
    """Runs one shell command, output discarded. Returns wall and CPU seconds (user + system,
    the pipeline's processes included), peak resident KiB of its largest process, and the
    exit status (None when it ran out of time)."""
    env = dict(os.environ, LC_ALL=locale)
    errors = tempfile.TemporaryFile()
    memory = tempfile.NamedTemporaryFile("r")
    start = time.perf_counter()
    # GNU time reports the peak of the processes it starts. Measured straight from this
    # script, a child's peak would start at this script's own size (a process that execs
    # keeps the peak of the memory it replaces, which is a copy of its parent's).
    proc = subprocess.Popen(["/usr/bin/time", "-o", memory.name, "-f", "%M", "bash", "-c",
                             command], stdout=subprocess.DEVNULL, stderr=errors, env=env,
                            start_new_session=True)
    timed_out = []

    def stop():
        timed_out.append(True)
        try:
            os.killpg(proc.pid, 9)
        except ProcessLookupError:
            pass

    timer = threading.Timer(TIMEOUT_S, stop)
    timer.start()
    _, status, usage = os.wait4(proc.pid, 0)
    timer.cancel()
    wall = time.perf_counter() - start
    errors.seek(0)
    error = errors.read(4096).decode("utf-8", "replace").strip()
    errors.close()
    reported = memory.read().split()
    memory.close()
    proc.returncode = os.waitstatus_to_exitcode(status)
    # CPU time from wait4 (microseconds), which includes the processes GNU time waited for.
    return {"wall": wall, "cpu": usage.ru_utime + usage.ru_stime, "user": usage.ru_utime,
            "sys": usage.ru_stime,
            "rss_kib": int(reported[-1]) if reported and reported[-1].isdigit() else 0,
            "status": None if timed_out else proc.returncode, "error": error[:300]}


def ok(sample):
    return sample["status"] == 0


def summary(samples):
    """Medians of the successful samples, or the failure."""
    good = [s for s in samples if ok(s)]
    if len(good) < len(samples):
        bad = next(s for s in samples if not ok(s))
        return {"failed": "timed out" if bad["status"] is None else f"exit {bad['status']}",
                "error": bad["error"]}
    return {"wall": statistics.median(s["wall"] for s in good),
            "cpu": statistics.median(s["cpu"] for s in good),
            "rss_kib": max(s["rss_kib"] for s in good), "runs": len(good)}


def tarnwick_command(tool, args, path):
    return f"{shlex.quote(tool)} {args} {shlex.quote(str(path))}"


# A measurement that other processes disturbed is taken again once they stop, up to this many
# times in all: on a shared host a brief burst elsewhere is common, a steady one is not.
ATTEMPTS = 3


class Guard:
    """Measures other processes' CPU share around a measurement, and redoes a disturbed one
    (up to twice) once the machine is quiet again."""

    def __init__(self, args, started_busy):
        self.args = args
        self.busy = []
        # A run that starts busy is marked busy anyway: waiting for quiet would only cost time.
        self.retry = not started_busy

    def measure(self, label, work, detached_helpers=False):
        """Runs work() and returns its result and the machine's state. With detached_helpers
        (Wine, whose server and services are not this script's children, so their CPU time
        counts as other processes'), the machine is checked in quiet pauses just before and
        just after the work instead, and the share during it is kept for information."""
        for attempt in range(1, ATTEMPTS + 1):
            state = machine_state()
            quiet_before = quiet_share(2) if detached_helpers else 0.0
            before = cpu_counters()
            result = work()
            state["others"] = others_share(before, cpu_counters())
            if detached_helpers:
                state["others_with_helpers"] = state["others"]
                state["others"] = max(quiet_before, quiet_share(2))
            if state["others"] <= self.args.max_others or attempt == ATTEMPTS or not self.retry:
                break
            print(f"  {label}: other processes took {state['others']:.0%} of the CPU; "
                  "measuring again once they stop", flush=True)
            if not wait_for_idle(float("inf"), self.args.max_others, 60):
                break
        if state["others"] > self.args.max_others:
            self.busy.append(f"{label}: other processes took {state['others']:.0%} of the CPU")
        return result, state


# ---------------------------------------------------------------------------------------------
# The three parts of the run


def measure_peers(args, info, guard, big, short_lines):
    main_cases, other_cases = peer_cases(big, short_lines)
    rows = []
    for goal_row, cases in ((True, main_cases), (False, other_cases)):
        for name, kind, lines, targs, peer, locale, threads, goal, memory_goal in cases:
            path = corpus(kind, lines)
            ours = tarnwick_command(args.tarnwick, targs, path)
            command = peer_command(peer, args.tarnwick)
            theirs = f"< {shlex.quote(str(path))} {command}"  # feeds the pipeline's first command

            small = corpus(kind, lines // 10)

            def pair():
                warm(path)
                a, b = [], []
                for _ in range(args.runs):  # in turns, so that drifts hit both alike
                    a.append(run_once(ours, locale))
                    b.append(run_once(theirs, locale))
                # The chart's smaller point: one tenth of the lines, one run each.
                warm(small)
                c = run_once(tarnwick_command(args.tarnwick, targs, small), locale)
                d = run_once(f"< {shlex.quote(str(small))} {command}", locale)
                return a, b, c, d

            (a, b, c, d), state = guard.measure(name, pair)
            row = {"name": name, "corpus": kind, "lines": lines, "args": targs, "peer": peer,
                   "locale": locale, "peer_threads": threads.format(sort=info["sort_threads"]),
                   "goal": goal, "memory_goal": memory_goal, "main": goal_row,
                   "input_bytes": path.stat().st_size, "ours": summary(a), "theirs": summary(b),
                   "samples": {"ours": a, "theirs": b}, "state": state,
                   "small": {"lines": lines // 10, "ours": summary([c]),
                             "theirs": summary([d])}}
            rows.append(row)
            print(describe_pair(row), flush=True)
    return rows


def describe_pair(row):
    o, t = row["ours"], row["theirs"]
    if "failed" in o or "failed" in t:
        return f"{row['name']:46} failed: {o.get('failed', '')} {t.get('failed', '')}"
    return (f"{row['name']:46} {o['wall']:7.3f} s (CPU {o['cpu']:.2f}) vs {t['wall']:7.3f} s "
            f"(CPU {t['cpu']:.2f})  load {row['state']['load1']:.2f}, others "
            f"{row['state']['others']:.0%}")


def measure_matrix(args, guard, small_lines, big_lines):
    entries = []
    for kind, (_, locale, extra) in CORPORA.items():
        small, big = corpus(kind, small_lines), corpus(kind, big_lines)
        env_locale = POSIX_LOCALE[locale]
        for op in OPERATIONS:
            targs = f"{extra} --locale {locale} {op}".strip()

            def entry():
                warm(small)
                s = [run_once(tarnwick_command(args.tarnwick, targs, small), env_locale)
                     for _ in range(args.small_runs)]
                warm(big)
                b = [run_once(tarnwick_command(args.tarnwick, targs, big), env_locale)
                     for _ in range(args.matrix_runs)]
                return s, b

            (s, b), state = guard.measure(f"{op} on {kind}", entry)
            entries.append({"corpus": kind, "op": op, "args": targs,
                            "small": summary(s), "big": summary(b),
                            "input_bytes": big.stat().st_size, "state": state})
        print(f"matrix: {kind:9} " + " ".join(
            growth_text(e) for e in entries if e["corpus"] == kind), flush=True)
    return entries


def growth(entry):
    if "failed" in entry["small"] or "failed" in entry["big"]:
        return None
    return entry["big"]["wall"] / entry["small"]["wall"]


def matrix_runs_text(results):
    small, big = results["small_runs"], results["matrix_runs"]
    if small == big:
        return f"the median of {runs(small)} on each file"
    return f"the median of {runs(small)} for the smaller file, {runs(big)} for the larger"


def growth_text(entry):
    g = growth(entry)
    return "failed" if g is None else f"{g:.1f}x"


def plugin_programs():
    """(label, command prefix, needs Wine) for each built plug-in benchmark."""
    found = []
    native = ROOT / "build/linux/bench/plugin/tarnwick_plugin_bench"
    if native.exists():
        found.append(("Linux, native", [str(native)]))
    for tree, label in (("win32", "Windows 32-bit, under Wine"),
                        ("win64", "Windows 64-bit, under Wine")):
        exe = ROOT / f"build/{tree}/tarnwick_plugin_bench.exe"
        if exe.exists() and (ROOT / f"build/{tree}/Tarnwick.dll").exists():
            found.append((label, [str(ROOT / "tests/winehost/run-with-display"),
                                  str(ROOT / "build/wineprefix"), str(exe)]))
    return found


def measure_plugin(args, guard, lines):
    """The plug-in's sort (1) and duplicate deletion (10) of the English corpus."""
    path = corpus("ascii", lines)
    rows = []
    for label, prefix in plugin_programs():
        if args.no_wine and "Wine" in label:
            continue
        env = dict(os.environ, LC_ALL="en_US.UTF-8", LANG="en_US.UTF-8")

        def work():
            warm(path)
            with open(path, "rb") as document:
                try:
                    return subprocess.run(prefix + [str(args.plugin_runs), "1", "10"],
                                          stdin=document, capture_output=True, text=True,
                                          env=env, timeout=1800)
                except subprocess.TimeoutExpired as late:
                    return subprocess.CompletedProcess(late.cmd, "timed out", "", "timed out")

        out, state = guard.measure(f"plug-in, {label}", work, detached_helpers="Wine" in label)
        runs = [dict(kv.split("=", 1) for kv in line.split())
                for line in out.stdout.splitlines() if line.startswith("id=")]
        if out.returncode != 0 or not runs:
            rows.append({"build": label, "failed": f"exit {out.returncode}",
                         "error": out.stderr[-300:], "state": state})
            print(f"plug-in, {label}: failed\n{out.stderr[-300:]}", flush=True)
            continue
        for op_id, op in ((1, "sort"), (10, "dedupe")):
            mine = [r for r in runs if int(r["id"]) == op_id]
            row = {"build": label, "op": op, "id": op_id, "lines": lines, "state": state,
                   "runs": len(mine), "lines_out": int(mine[0]["lines_out"])}
            for key in ("command_s", "plugin_s", "editor_s", "total_s"):
                row[key] = statistics.median(float(r[key]) for r in mine)
            rows.append(row)
            print(f"plug-in, {label}, {op}: {row['command_s']:.3f} s (plug-in "
                  f"{row['plugin_s']:.3f} s, editor {row['editor_s']:.3f} s)", flush=True)
    check_plugin_results(rows, path)
    return rows


def check_plugin_results(rows, path):
    """Every build must keep every line when sorting and keep each distinct line once."""
    data = path.read_bytes()
    lines = data.split(b"\n")[:-1]
    expected = {"sort": len(lines), "dedupe": len(set(lines))}
    for row in rows:
        if "op" in row and row["lines_out"] != expected[row["op"]]:
            row["failed"] = (f"{row['lines_out']:,} lines out, expected "
                             f"{expected[row['op']]:,}")


# ---------------------------------------------------------------------------------------------
# Reports


def runs(count):
    return "one run" if count == 1 else f"{count} runs"


def mb(kib):
    return kib * 1024 / 1e6


def verdict(ok_):
    return "met" if ok_ else "**missed**"


def cell(text):
    return str(text).replace("|", "\\|")  # a pipe would end the table cell


def busy_note(results):
    if not results["busy"]:
        return ""
    return ("\n> **Taken on a busy machine: these figures are not for publication.**\n> "
            + "\n> ".join(results["busy"][:12])
            + ("\n> ..." if len(results["busy"]) > 12 else "") + "\n")


def threads_note(info, cpu_columns=True):
    if info["tarnwick_has_threads_option"]:
        ours = (f"tarnwick ran with its default `--threads` (the cores available, at most 8: "
                f"{info['tarnwick_threads']})")
    else:
        ours = "tarnwick ran on one thread (this build has no `--threads` option)"
    return (f"Threads: {ours}; GNU `sort` with its default `--parallel` (the cores, at most 8: "
            f"{info['sort_threads']}); `tac`, `mawk`, `uniq`, `cut` and `rev` use one. A "
            "pipeline's processes run at once, and its CPU time is the sum of theirs."
            + (" CPU time above the wall time shows work on more than one core."
               if cpu_columns else ""))


def ratio_cells(row):
    o, t = row["ours"], row["theirs"]
    if "failed" in o or "failed" in t:
        return None
    return o["wall"] / t["wall"], (o["rss_kib"] / t["rss_kib"])


def ratio_text(ratio, goal):
    """The ratio to two decimals, or to three where two would round it onto the goal."""
    text = f"{ratio:.2f}"
    if goal is not None and float(text) == goal and ratio != goal:
        text = f"{ratio:.3f}"
    return text + "×"


def peer_row_cells(row):
    o, t = row["ours"], row["theirs"]
    size = row["input_bytes"]
    if "failed" in o or "failed" in t:
        failed = o.get("failed") or t.get("failed")
        return [cell(row["name"]), "failed: " + cell(failed), "", f"`{cell(row['peer'])}`",
                "", "", "", "", ""]
    ratio, memory_ratio = ratio_cells(row)
    goal = "—"
    if row["goal"] is not None:
        goal = f"≤ {row['goal']:g}×, {verdict(ratio <= row['goal'])}"
    if row["memory_goal"] is not None:
        goal += (f"; memory ≤ {row['memory_goal']:g}× the peer's, "
                 f"{verdict(memory_ratio <= row['memory_goal'])}")
    return [cell(row["name"]), f"{o['wall']:.3f}", f"{o['cpu']:.3f}",
            f"`{cell(row['peer'])}` ({row['locale']})", f"{t['wall']:.3f}", f"{t['cpu']:.3f}",
            ratio_text(ratio, row["goal"]), goal,
            f"{mb(o['rss_kib']):.0f} MB ({o['rss_kib'] * 1024 / size:.1f}×) / "
            f"{mb(t['rss_kib']):.0f} MB"]


def matrix_extremes(matrix):
    growths = [(growth(e), e) for e in matrix if growth(e) is not None]
    memory = [(e["big"]["rss_kib"] * 1024 / e["input_bytes"], e) for e in matrix
              if "failed" not in e["big"]]
    failed = [e for e in matrix if growth(e) is None]
    return (max(growths, key=lambda x: x[0]) if growths else None,
            max(memory, key=lambda x: x[0]) if memory else None, failed)


def goal_rows_from_matrix(results):
    """The table's last two rows: peak memory and growth over the whole matrix."""
    worst_growth, worst_memory, failed = matrix_extremes(results["matrix"])
    rows = []
    if worst_memory:
        value, e = worst_memory
        rows.append(("peak memory, every operation, every corpus, "
                     f"{results['big_lines']:,} lines",
                     f"up to {value:.1f}× the input ({e['op']} on {e['corpus']})",
                     f"≤ 4×, {verdict(value <= 4)}"))
    if worst_growth:
        value, e = worst_growth
        text = f"up to {value:.1f}× ({e['op']} on {e['corpus']})"
        if failed:
            text += f"; {len(failed)} entries failed"
        rows.append((f"{results['small_lines']:,} → {results['big_lines']:,} lines, every "
                     "operation, every corpus", text, f"≤ 12×, {verdict(value <= 12 and not failed)}"))
    return rows


def header(results):
    info = results["info"]
    when = results["started"]
    idle = ("on an idle machine" if not results["busy"] else "**on a busy machine**")
    start = results["start_state"]
    return (f"Taken {when} {idle}: {info['cores']} cores ({info['cpu']}), "
            f"{info['memory_gib']} GiB; 1-minute load {start['load1']:.2f} at the start. "
            f"`{info['tarnwick']}` at commit {info['commit']}"
            f"{' with local changes' if info['tree_changed'] else ''}, built as the `linux` "
            f"preset (Release). Peers: {info['sort']}, {info['awk']}. "
            f"The full run took {results['elapsed_s'] / 60:.1f} minutes.")


def write_markdown(path, results):
    info = results["info"]
    big = results["big_lines"]
    out = ["# Tarnwick against the standard tools\n",
           "Written by `bench/compare_tools.py` from one run; the samples are in "
           f"`{results['json_name']}`.\n", header(results) + "\n", busy_note(results),
           "## How the figures were taken\n",
           "- Whole process: start, reading the file, the work, writing the result to "
           "`/dev/null`. The file is read once beforehand so that every run finds it in the "
           "page cache.",
           f"- Each pair is timed in turns (tarnwick, peer, tarnwick, ...), {runs(results['runs'])} "
           "each; the figure is the median. Wall time is the elapsed time; CPU time is "
           "user + system time of every process of the command (from `wait4`).",
           "- Peak memory is the largest maximum resident set of one process of the command, "
           "as GNU `time` reports it (`%M`); for a pipeline that is its largest stage, not the "
           "sum. Over the input, it is divided by the input file's size.",
           "- Before each pair the 1-minute load average and the cores are recorded; during "
           "it, the CPU time the machine spent on other processes (its busy time in "
           "`/proc/stat`, steal included, less this run's). The load average counts this "
           "run's own processes too, so the test of an idle machine is the load before the "
           f"run starts (below {results['max_load']}) and other processes' share of the CPU "
           f"during every measurement (at most {results['max_others']:.0%}); a disturbed "
           "measurement is taken again, up to twice.",
           "- " + threads_note(info) + "\n",
           f"## Against the standard tools, {big:,} lines\n",
           "| operation | tarnwick (s) | CPU (s) | peer | peer (s) | peer CPU (s) | ratio | goal "
           "| peak memory: tarnwick (× input) / peer |",
           "|---|---|---|---|---|---|---|---|---|"]
    for row in results["peers"]:
        if row["main"]:
            out.append("| " + " | ".join(peer_row_cells(row)) + " |")
    for name, value, goal in goal_rows_from_matrix(results):
        out.append(f"| {name} | {value} | | | | | | {goal} | |")
    out += ["", "Other comparisons (a goal where one is set):\n",
            "| operation | tarnwick (s) | CPU (s) | peer | peer (s) | peer CPU (s) | ratio | goal "
            "| peak memory: tarnwick (× input) / peer |",
            "|---|---|---|---|---|---|---|---|---|"]
    for row in results["peers"]:
        if not row["main"]:
            out.append("| " + " | ".join(peer_row_cells(row)) + " |")
    out += ["", "Threads of each peer, and the machine before and during each pair:\n",
            "| operation | corpus | peer's threads | load (1, 5, 15 min) | cores | other "
            "processes' CPU |", "|---|---|---|---|---|---|"]
    for row in results["peers"]:
        s = row["state"]
        out.append(f"| {cell(row['name'])} | {row['corpus']}, {row['lines']:,} lines | "
                   f"{cell(row['peer_threads'])} | {s['load1']:.2f}, {s['load5']:.2f}, "
                   f"{s['load15']:.2f} | {s['cores']} | {s['others']:.1%} |")

    out += ["", "![tarnwick and the standard tools: time against line count, and peak memory]"
            "(scaling.png)\n"]
    out += plugin_section(results)
    out += matrix_sections(results)
    out += ["## Corpora\n", "Written by `bench/make_corpus.py` (fixed seeds: the same bytes on "
            "every machine).\n", f"| corpus | text | size at {big:,} lines |", "|---|---|---|"]
    for kind, (text, locale, extra) in CORPORA.items():
        sizes = [e["input_bytes"] for e in results["matrix"] if e["corpus"] == kind]
        size = f"{sizes[0] / 1e6:.1f} MB" if sizes else "—"
        args = f"; `{extra}`" if extra else ""
        out.append(f"| {kind} | {text} (collation `--locale {locale}`{args}) | {size} |")
    out += ["", NOTES.read_text(encoding="utf-8").rstrip("\n")]
    path.write_text("\n".join(out) + "\n", encoding="utf-8")


def plugin_section(results):
    rows = results["plugin"]
    out = [f"## The plug-in through OnCommand, {results['plugin_lines']:,} lines\n",
           "The English corpus as one document in the simulated editor (`tests/editor/`), "
           "nothing selected, the command chosen from the menu, timed by "
           "`bench/plugin/tarnwick_plugin_bench` (natively the stand-in's menu answers at once; "
           "under Wine the built `Tarnwick.dll` is loaded and its real menu answered from the "
           "keyboard on a private Xvfb display). \"Command\" runs from the editor's select-all "
           "that follows the menu to the return of `OnCommand`; the simulated editor's part "
           "(its copies of the text, its line table) is shown apart, and the plug-in's part is "
           f"the rest. The median of {runs(results['plugin_runs'])}. Collation: en_US. "
           "The tool's time for the same operation on the same file is beside it.\n"]
    if not rows:
        return out + ["Not measured: no plug-in benchmark was built.\n"]
    tool = {}
    for e in results["matrix"]:
        if e["corpus"] == "ascii" and "failed" not in e["big"] and \
                results["big_lines"] == results["plugin_lines"]:
            tool[e["op"]] = e["big"]["wall"]
    out += ["| build | operation | command (s) | the plug-in (s) | the simulated editor (s) | "
            "`tarnwick`, same operation (s) |", "|---|---|---|---|---|---|"]
    for r in rows:
        if "op" not in r:
            out.append(f"| {r['build']} | — | failed: {cell(r['failed'])} | | | |")
            continue
        name = "dictionary sort" if r["op"] == "sort" else "delete duplicates"
        note = f" (failed: {cell(r['failed'])})" if "failed" in r else ""
        ours = f"{tool[r['op']]:.3f}" if r["op"] in tool else "—"
        out.append(f"| {r['build']} | {name}{note} | {r['command_s']:.3f} | {r['plugin_s']:.3f} "
                   f"| {r['editor_s']:.3f} | {ours} |")
    return out + [""]


def matrix_sections(results):
    matrix = results["matrix"]
    kinds = [k for k in CORPORA if any(e["corpus"] == k for e in matrix)]
    by = {(e["op"], e["corpus"]): e for e in matrix}
    small, big = results["small_lines"], results["big_lines"]

    def table(title, intro, value):
        rows = [f"## {title}\n", intro + "\n", "| operation | " + " | ".join(kinds) + " |",
                "|---" * (len(kinds) + 1) + "|"]
        for op in OPERATIONS:
            rows.append(f"| {op} | " + " | ".join(value(by.get((op, k))) for k in kinds) + " |")
        return rows + [""]

    def growth_cell(e):
        if e is None:
            return ""
        g = growth(e)
        if g is None:
            return "failed: " + cell(e["big"].get("failed") or e["small"].get("failed"))
        return f"{g:.1f}×" if g <= 12 else f"**{g:.1f}×**"

    def memory_cell(e):
        if e is None or "failed" in e["big"]:
            return ""
        m = e["big"]["rss_kib"] * 1024 / e["input_bytes"]
        return f"{m:.1f}×" if m <= 4 else f"**{m:.1f}×**"

    def time_cell(e):
        if e is None or "failed" in e["big"]:
            return ""
        return f"{e['big']['wall']:.2f} ({e['big']['cpu']:.2f})"

    worst_growth, worst_memory, failed = matrix_extremes(matrix)
    summary_line = ""
    if worst_growth:
        summary_line = (f"Largest: {worst_growth[0]:.1f}× ({worst_growth[1]['op']} on "
                        f"{worst_growth[1]['corpus']}); goal ≤ 12×, "
                        f"{verdict(worst_growth[0] <= 12 and not failed)}.")
    return (table(f"Growth from {small:,} to {big:,} lines",
                  "Each entry is the time on " f"{big:,} lines over the time on {small:,}, whole "
                  f"process ({matrix_runs_text(results)}). Entries above 12× are in bold. "
                  + summary_line, growth_cell)
            + table(f"Peak memory over the input's size, {big:,} lines",
                    "Maximum resident set over the input file's size; entries above 4× are in "
                    "bold.", memory_cell)
            + table(f"Time on {big:,} lines", "Wall seconds (CPU seconds in brackets).",
                    time_cell))


def readme_block(results):
    info = results["info"]

    def paragraph(text):
        return textwrap.fill(text, width=96, break_long_words=False, break_on_hyphens=False)

    idle = "an idle machine" if not results["busy"] else "**a busy machine**"
    lines = [README_BEGIN, paragraph(
        f"`tarnwick` against the standard tools on {results['big_lines']:,}-line files, whole "
        f"process, the median of {runs(results['runs'])}; wall seconds, CPU seconds in brackets. "
        f"Taken {results['started']} on {idle} ({info['cores']} cores), `{info['tarnwick']}` at "
        f"commit {info['commit']}{' with local changes' if info['tree_changed'] else ''}. "
        "How it was measured, the peers and their threads, every "
        "operation on every corpus, and where the time and memory go: "
        "[docs/benchmarks.md](docs/benchmarks.md)."), busy_note(results),
        "| operation | tarnwick (s) | peer | peer (s) | ratio | goal | peak memory: tarnwick "
        "(× input) / peer |", "|---|---|---|---|---|---|---|"]
    for row in results["peers"]:
        if not row["main"]:
            continue
        c = peer_row_cells(row)
        ours, theirs = c[1], c[4]
        if c[2]:
            ours, theirs = f"{c[1]} ({c[2]})", f"{c[4]} ({c[5]})"
        lines.append("| " + " | ".join([c[0], ours, c[3], theirs, c[6], c[7], c[8]]) + " |")
    for name, value, goal in goal_rows_from_matrix(results):
        lines.append(f"| {name} | {value} | | | | {goal} | |")
    plugin = [r for r in results["plugin"] if "op" in r and "failed" not in r]
    if plugin:
        tool = {e["op"]: e["big"]["wall"] for e in results["matrix"]
                if e["corpus"] == "ascii" and "failed" not in e["big"]}
        builds = []
        for build in dict.fromkeys(r["build"] for r in plugin):
            mine = {r["op"]: r["plugin_s"] for r in plugin if r["build"] == build}
            builds.append(f"{build}: " + ", ".join(
                f"{'sort' if op == 'sort' else 'delete duplicates'} {value:.2f} s"
                for op, value in mine.items()))
        beside = ""
        if "sort" in tool and "dedupe" in tool:
            beside = (f" (the tool on the same file: sort {tool['sort']:.2f} s, delete "
                      f"duplicates {tool['dedupe']:.2f} s)")
        lines += ["", paragraph(
            f"The plug-in through OnCommand on the English file of {results['plugin_lines']:,} "
            "lines, the simulated editor's own work left out: " + "; ".join(builds) + beside
            + ".")]
    lines += ["", "![tarnwick and the standard tools: time against line count, and peak memory]"
              "(docs/scaling.png)", README_END]
    return "\n".join(lines)


def write_readme(results, readme=ROOT / "README.md"):
    """Replaces the table between the README's markers."""
    text = readme.read_text(encoding="utf-8")
    block = readme_block(results)
    if README_BEGIN in text and README_END in text:
        before, rest = text.split(README_BEGIN, 1)
        after = rest.split(README_END, 1)[1]
        text = before + block + after
    else:
        sys.exit(f"README.md has no benchmark table markers ({README_BEGIN})")
    readme.write_text(text, encoding="utf-8")


def write_chart(path, results):
    import matplotlib
    matplotlib.use("Agg")
    import matplotlib.pyplot as plt

    rows = [r for r in results["peers"] if r["main"]]
    columns = 4
    panels = len(rows) + 1
    fig, axes = plt.subplots((panels + columns - 1) // columns, columns,
                             figsize=(4 * columns, 3.4 * ((panels + columns - 1) // columns)))
    axes = list(axes.flat)
    for number, (ax, row) in enumerate(zip(axes, rows), 1):
        for side, style, label in (("ours", "o-", "tarnwick"), ("theirs", "s--", row["peer"])):
            points = [(row["small"]["lines"], row["small"][side]), (row["lines"], row[side])]
            points = [(n, s["wall"]) for n, s in points if "failed" not in s]
            if points:
                ax.plot([p[0] for p in points], [p[1] for p in points], style,
                        label=label if len(label) < 30 else label[:27] + "...")
        ax.set_xscale("log")
        ax.set_yscale("log")
        title = f"{number}. {row['name']}"
        ax.set_title(title if len(title) < 44 else title[:41] + "...", fontsize=9)
        ax.set_xlabel("lines", fontsize=8)
        ax.set_ylabel("seconds, whole process", fontsize=8)
        ax.grid(True, which="both", alpha=0.3)
        ax.legend(fontsize=7, loc="lower right")
    memory_ax = axes[len(rows)]
    names = [str(i + 1) for i in range(len(rows))]
    ours = [mb(r["ours"].get("rss_kib", 0)) for r in rows]
    theirs = [mb(r["theirs"].get("rss_kib", 0)) for r in rows]
    x = range(len(rows))
    memory_ax.bar([i - 0.2 for i in x], ours, 0.4, label="tarnwick")
    memory_ax.bar([i + 0.2 for i in x], theirs, 0.4, label="peer")
    memory_ax.set_xticks(list(x), names)
    memory_ax.set_title("peak memory (MB), panels 1-%d" % len(rows), fontsize=9)
    memory_ax.legend(fontsize=7)
    for ax in axes[panels:]:
        ax.axis("off")
    state = "idle machine" if not results["busy"] else "BUSY MACHINE: not for publication"
    fig.suptitle(f"tarnwick beside the standard tools ({results['info']['cores']} cores, "
                 f"{state}, {results['started']})", fontsize=11)
    fig.tight_layout()
    fig.savefig(path, dpi=90)
    plt.close(fig)


def write_reports(results, out, publish):
    out.mkdir(parents=True, exist_ok=True)
    results["json_name"] = "benchmarks.json"
    (out / "benchmarks.json").write_text(json.dumps(results, indent=1) + "\n")
    write_markdown(out / "benchmarks.md", results)
    written = ["benchmarks.md", "benchmarks.json"]
    try:
        write_chart(out / "scaling.png", results)
        written.append("scaling.png")
    except ImportError:
        print(f"{sys.executable} has no matplotlib: chart not drawn (install "
              "python3-matplotlib, run with /usr/bin/python3)", flush=True)
    if publish:
        write_readme(results)
        written.append("the README's table")
    print(f"written in {out}: " + ", ".join(written), flush=True)


# ---------------------------------------------------------------------------------------------


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


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0],
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--tarnwick", default=str(ROOT / "build/linux/cli/tarnwick"))
    parser.add_argument("--quick", action="store_true",
                        help="a smoke run: 10,000 and 100,000 lines, one run each")
    parser.add_argument("--publish", action="store_true",
                        help="write docs/ and the README's table; refused for a busy run")
    parser.add_argument("--out", help=f"report folder (default {SCRATCH}; docs/ with --publish)")
    parser.add_argument("--render", metavar="RESULTS_JSON",
                        help="rewrite the report from a saved run instead of measuring")
    parser.add_argument("--corpora", action="store_true", help="only write the corpora")
    parser.add_argument("--only", default="peers,matrix,plugin",
                        help="comma-separated parts to run: peers, matrix, plugin")
    parser.add_argument("--runs", type=int, help="runs per side of each pair (default 3)")
    parser.add_argument("--small-runs", type=int, help="runs on the smaller matrix file (3)")
    parser.add_argument("--matrix-runs", type=int, help="runs on the larger matrix file (3)")
    parser.add_argument("--plugin-runs", type=int, help="runs of each plug-in command (3)")
    parser.add_argument("--no-wine", action="store_true", help="the plug-in natively only")
    parser.add_argument("--max-load", type=float, default=0.3,
                        help="the 1-minute load below which the machine counts as idle")
    parser.add_argument("--max-others", type=float, default=0.05,
                        help="other processes' largest share of the CPU during a measurement")
    parser.add_argument("--wait-idle", type=float, default=0, metavar="SECONDS",
                        help="wait this long at most for an idle machine before starting "
                        "(with --publish: 1800 unless given)")
    args = parser.parse_args()
    quick = args.quick
    args.runs = args.runs or (1 if quick else 3)
    args.small_runs = args.small_runs or (1 if quick else 3)
    args.matrix_runs = args.matrix_runs or (1 if quick else 3)
    args.plugin_runs = args.plugin_runs or (1 if quick else 3)
    if args.publish and quick:
        sys.exit("--quick runs are never published")
    if args.publish and not args.wait_idle:
        args.wait_idle = 1800
    out = Path(args.out) if args.out else (ROOT / "docs" if args.publish else SCRATCH)

    if args.render:
        results = json.loads(Path(args.render).read_text())
        if args.publish and results["busy"]:
            sys.exit("refusing to publish: that run was taken on a busy machine")
        write_reports(results, out, args.publish)
        return

    check_locales()
    if not os.access(args.tarnwick, os.X_OK):
        sys.exit(f"{args.tarnwick} not found: build it first (cmake --preset linux && "
                 "cmake --build --preset linux)")
    if args.publish:
        try:
            import matplotlib  # noqa: F401
        except ImportError:
            sys.exit(f"{sys.executable} has no matplotlib: install python3-matplotlib and run "
                     "the script with the system's Python (/usr/bin/python3)")

    big = 100_000 if quick else 1_000_000
    small = big // 10
    short_lines = 100_000 if quick else 10_000_000
    parts = set(args.only.split(","))
    kinds_needed = [(k, n) for k in CORPORA for n in (small, big)] + \
        [("short", short_lines), ("short", short_lines // 10)]
    for kind, lines in kinds_needed:
        corpus(kind, lines)
    if args.corpora:
        return
    subprocess.run(["sync"])  # the corpora's write-back must not run during the measurements

    start_state = machine_state()
    if args.wait_idle and not wait_for_idle(args.max_load, args.max_others, args.wait_idle):
        if args.publish:
            sys.exit(f"the machine did not become idle within {args.wait_idle:.0f} s "
                     f"(1-minute load {os.getloadavg()[0]:.2f}): nothing measured or published")
    start_state = machine_state()
    start_state["others"] = quiet_share(3)
    busy = []
    if start_state["load1"] >= args.max_load:
        busy.append(f"1-minute load {start_state['load1']:.2f} at the start "
                    f"(idle: below {args.max_load})")
    if start_state["others"] > args.max_others:
        busy.append(f"other processes took {start_state['others']:.0%} of the CPU at the start")
    if busy:
        print("the machine is busy: the figures will be marked as such\n  " + "\n  ".join(busy),
              flush=True)

    info = machine_info(args.tarnwick)
    guard = Guard(args, bool(busy))
    began = time.perf_counter()
    results = {"started": datetime.datetime.now().strftime("%Y-%m-%d %H:%M"), "info": info,
               "start_state": start_state, "runs": args.runs, "small_runs": args.small_runs,
               "matrix_runs": args.matrix_runs, "plugin_runs": args.plugin_runs,
               "big_lines": big, "small_lines": small, "plugin_lines": big,
               "max_load": args.max_load, "max_others": args.max_others,
               "peers": [], "matrix": [], "plugin": []}
    if "peers" in parts:
        results["peers"] = measure_peers(args, info, guard, big, short_lines)
    if "matrix" in parts:
        results["matrix"] = measure_matrix(args, guard, small, big)
    if "plugin" in parts:
        results["plugin"] = measure_plugin(args, guard, big)
    results["elapsed_s"] = time.perf_counter() - began
    results["busy"] = busy + guard.busy
    print(f"took {results['elapsed_s'] / 60:.1f} minutes", flush=True)

    if args.publish and results["busy"]:
        write_reports(results, SCRATCH, False)
        sys.exit("refusing to publish: the machine was busy (see above); the marked report "
                 f"is in {SCRATCH}")
    write_reports(results, out, args.publish)


if __name__ == "__main__":
    main()
