#!/usr/bin/env python3
"""Checks the benchmark harness: the corpora, the measurement of one command, the report's
idle and busy marking, and the plug-in's timing program on a small document.

usage: harness_test.py PLUGIN_BENCH
"""
import json
import os
import subprocess
import sys
import tempfile
import unittest
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
import compare_tools  # noqa: E402
import make_corpus  # noqa: E402

PLUGIN_BENCH = None


def write_corpus(folder, kind, lines):
    path = Path(folder) / f"{kind}-{lines}.txt"
    subprocess.run([sys.executable, make_corpus.__file__, kind, str(lines), str(path)],
                   check=True)
    return path.read_bytes()


class CorpusTest(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.TemporaryDirectory()
        self.addCleanup(self.dir.cleanup)

    def test_every_kind_is_deterministic_and_has_its_line_count(self):
        for kind in make_corpus.KINDS:
            with self.subTest(kind=kind):
                data = write_corpus(self.dir.name, kind, 2000)
                self.assertEqual(write_corpus(self.dir.name, kind, 2000), data)
                if kind == "utf16":
                    text = data.decode("utf-16")
                elif kind == "sjis":
                    text = data.decode("shift_jis")
                else:
                    text = data.decode("utf-8")
                self.assertEqual(len(text.splitlines()), 2000)

    def test_short_lines_are_what_seq_prints(self):
        seq = subprocess.run(["seq", "3000"], capture_output=True, check=True).stdout
        self.assertEqual(write_corpus(self.dir.name, "short", 3000), seq)

    def test_scattered_text_has_non_ascii_in_about_one_line_in_fifty(self):
        lines = write_corpus(self.dir.name, "scattered", 20000).split(b"\n")
        share = sum(1 for line in lines if any(b > 127 for b in line)) / 20000
        self.assertGreater(share, 0.01)
        self.assertLess(share, 0.03)

    def test_encoded_corpora_start_as_the_tool_expects(self):
        self.assertEqual(write_corpus(self.dir.name, "utf16", 10)[:2], b"\xff\xfe")
        self.assertTrue(any(b > 127 for b in write_corpus(self.dir.name, "sjis", 100)))


class MeasureTest(unittest.TestCase):
    def test_peak_memory_is_the_commands_not_the_harnesss(self):
        ballast = b"\x01" * (300 << 20)  # the harness's own size must not show up
        small = compare_tools.run_once("true", "C")
        big = compare_tools.run_once(f"{sys.executable} -c 'b = b\"\\x01\" * (150 << 20)'", "C")
        del ballast
        self.assertLess(small["rss_kib"], 50 << 10)
        self.assertGreater(big["rss_kib"], 150 << 10)
        self.assertLess(big["rss_kib"], 300 << 10)

    def test_cpu_time_counts_every_process_of_a_pipeline(self):
        spin = f"{sys.executable} -c 'import time; t = time.process_time(); " \
               "exec(\"while time.process_time() - t < 0.3: pass\")'"
        sample = compare_tools.run_once(f"{spin} | {spin} | cat", "C")
        self.assertEqual(sample["status"], 0)
        self.assertGreater(sample["cpu"], 0.55)

    def test_a_failing_command_is_reported_not_averaged(self):
        good = compare_tools.run_once("true", "C")
        bad = compare_tools.run_once("echo broken >&2; exit 3", "C")
        self.assertEqual(bad["status"], 3)
        self.assertEqual(bad["error"], "broken")
        self.assertEqual(compare_tools.summary([good, bad])["failed"], "exit 3")

    def test_others_share_leaves_out_this_runs_own_cpu(self):
        ticks = os.sysconf("SC_CLK_TCK")
        # Two seconds on two cores; the machine was busy 3 s, of which 1 s was ours.
        before, after = (0, 10.0, 100.0), (3 * ticks, 11.0, 102.0)
        cores = compare_tools.cores()
        self.assertAlmostEqual(compare_tools.others_share(before, after), 2.0 / (2.0 * cores))


def fake_results(busy):
    sample = {"wall": 1.0, "cpu": 1.5, "rss_kib": 40000, "runs": 3}
    peer = {"wall": 2.0, "cpu": 2.0, "rss_kib": 20000, "runs": 3}
    state = {"load1": 0.1, "load5": 0.1, "load15": 0.1, "cores": 2, "cpus": 2, "others": 0.01}
    return {
        "started": "2026-01-01 00:00", "busy": busy, "elapsed_s": 600, "runs": 3,
        "small_runs": 3, "matrix_runs": 1, "plugin_runs": 3, "big_lines": 1000,
        "small_lines": 100, "plugin_lines": 1000, "max_load": 0.3, "max_others": 0.05,
        "start_state": state, "json_name": "benchmarks.json",
        "info": {"cpu": "x", "cores": 2, "memory_gib": 1, "tarnwick": "tarnwick 1", "commit": "c",
                 "tree_changed": False, "sort": "sort 9", "awk": "mawk", "tac": "tac",
                 "tarnwick_threads": 2, "tarnwick_has_threads_option": True, "sort_threads": 2},
        "peers": [{"name": "dictionary sort", "corpus": "ascii", "lines": 1000, "peer": "sort",
                   "locale": "C", "peer_threads": "2", "goal": 0.5, "memory_goal": None,
                   "main": True, "input_bytes": 10_000_000, "ours": sample, "theirs": peer,
                   "state": state, "small": {"lines": 100, "ours": sample, "theirs": peer}}],
        "matrix": [{"corpus": "ascii", "op": "sort", "args": "sort", "input_bytes": 10_000_000,
                    "small": {"wall": 0.1, "cpu": 0.1, "rss_kib": 1000},
                    "big": {"wall": 1.3, "cpu": 1.3, "rss_kib": 30000}, "state": state}],
        "plugin": [],
    }


class ReportTest(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.TemporaryDirectory()
        self.addCleanup(self.dir.cleanup)
        self.folder = Path(self.dir.name)

    def test_goals_are_judged_and_a_busy_run_is_marked(self):
        results = fake_results(["other processes took 40% of the CPU"])
        compare_tools.write_markdown(self.folder / "b.md", results)
        text = (self.folder / "b.md").read_text()
        self.assertIn("Taken on a busy machine", text)
        self.assertIn("| 0.50× | ≤ 0.5×, met |", text)
        self.assertIn("**13.0×**", text)  # growth above 12x is shown in bold
        self.assertIn("≤ 12×, **missed**", text)
        self.assertIn("## Where the time and memory go", text)  # bench/benchmarks-notes.md

    def test_a_ratio_just_past_its_goal_does_not_read_as_the_goal(self):
        self.assertEqual(compare_tools.ratio_text(0.1241, 0.12), "0.124×")
        self.assertEqual(compare_tools.ratio_text(0.1161, 0.12), "0.116×")
        self.assertEqual(compare_tools.ratio_text(0.12, 0.12), "0.12×")
        self.assertEqual(compare_tools.ratio_text(0.4212, 0.5), "0.42×")
        self.assertEqual(compare_tools.ratio_text(0.9312, None), "0.93×")

    def test_a_busy_run_is_never_published(self):
        saved = self.folder / "r.json"
        saved.write_text(json.dumps(fake_results(["1-minute load 3.00 at the start"])))
        sys.argv = ["compare_tools.py", "--render", str(saved), "--publish",
                    "--out", str(self.folder / "docs")]
        with self.assertRaises(SystemExit) as refused:
            compare_tools.main()
        self.assertIn("busy", str(refused.exception))
        self.assertFalse((self.folder / "docs").exists())

    def test_readme_table_is_replaced_between_its_markers_only(self):
        readme = self.folder / "README.md"
        readme.write_text(f"intro\n{compare_tools.README_BEGIN}\nold\n"
                          f"{compare_tools.README_END}\nafter\n")
        compare_tools.write_readme(fake_results([]), readme)
        text = readme.read_text()
        self.assertTrue(text.startswith("intro\n"))
        self.assertTrue(text.endswith(f"{compare_tools.README_END}\nafter\n"))
        self.assertNotIn("\nold\n", text)
        self.assertIn("| dictionary sort | 1.000 (1.500) | `sort` (C) | 2.000 (2.000) | 0.50× |",
                      text)


class PluginBenchTest(unittest.TestCase):
    def test_sorts_and_deduplicates_the_whole_document(self):
        document = "b\na\r\nb\nc".encode("utf-8")
        out = subprocess.run([PLUGIN_BENCH, "2", "1", "10"], input=document,
                             capture_output=True, check=True, text=False,
                             env=dict(os.environ, LC_ALL="C.UTF-8")).stdout.decode()
        runs = [dict(kv.split("=") for kv in line.split()) for line in out.splitlines()]
        self.assertEqual([(r["id"], r["run"]) for r in runs],
                         [("1", "1"), ("1", "2"), ("10", "1"), ("10", "2")])
        self.assertEqual({r["lines_out"] for r in runs if r["id"] == "1"}, {"4"})
        self.assertEqual({r["lines_out"] for r in runs if r["id"] == "10"}, {"3"})
        for r in runs:
            self.assertAlmostEqual(float(r["command_s"]),
                                   float(r["plugin_s"]) + float(r["editor_s"]), places=3)

    def test_refuses_the_highlight_command_and_bad_arguments(self):
        for args in (["1", "12"], ["0", "1"], ["1"]):
            proc = subprocess.run([PLUGIN_BENCH, *args], input=b"", capture_output=True)
            self.assertEqual(proc.returncode, 2, args)


if __name__ == "__main__":
    PLUGIN_BENCH = sys.argv.pop(1)
    unittest.main()
