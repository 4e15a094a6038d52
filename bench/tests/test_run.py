"""The table's verdicts: each target is judged from the right pair of runs, a timed-out run
is never counted as met, and the floor's counts are held against the machine."""

import collections
import contextlib
import io
import os
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
import run  # noqa: E402


def timed(wall, peak=50.0):
    return {"wall": wall, "cpu": wall, "server_cpu": 0.0, "peak_mb": peak}


def report(label, floor_quick, quick, floor_full=None, full=None, window=None, peer=None, stop=None, peak=50.0,
           directories=None):
    runs = {"floor quick": timed(floor_quick), "orvscan --quick": timed(quick, peak)}
    if directories is not None:
        runs[run.DIRECTORIES_RUN] = timed(directories)
    if floor_full is not None:
        runs.update({"floor full": timed(floor_full), "orvscan --full": timed(full, peak),
                     "window /S": timed(window, peak), "peer": timed(peer)})
    return {"label": label, "runs": runs, "stop": stop, "problems": [], "machine": {}}


def verdicts(lines):
    """target text -> (measured, verdict)"""
    out = {}
    for line in lines:
        text, measured, verdict = [c.strip() for c in line.strip("|").split("|")]
        out[text] = (measured, verdict)
    return out


class Targets(unittest.TestCase):
    def test_each_target_takes_its_own_pair_of_runs(self):
        small = report("5000", 1.0, 1.5, 2.0, 3.5, 1.7, 1.0, 0.1, directories=1.6)
        large = report("50000", 10.0, 30.0, 20.0, 25.0, 33.0, 12.0, 0.4, peak=160.0, directories=36.0)
        got = verdicts(run.targets([small, large], None))
        self.assertEqual(("1.50×", "met"), got["quick ≤ 2× floor quick (5000)"])
        self.assertEqual(("3.00×", "not met"), got["quick ≤ 2× floor quick (50000)"])
        self.assertEqual(("1.07×", "met"), got["modern ≤ 1.15× quick (5000)"])
        self.assertEqual(("1.20×", "not met"), got["modern ≤ 1.15× quick (50000)"])
        self.assertEqual(("1.75×", "not met"), got["full ≤ 1.5× floor full (5000)"])
        self.assertEqual(("1.25×", "met"), got["full ≤ 1.5× floor full (50000)"])
        self.assertEqual(("2.50×", "not met"), got["quick ≤ 2× peer (50000)"])
        self.assertEqual(("20.00×", "not met"), got["growth 5000→50000 ≤ 13×"])
        self.assertEqual(("160.00 MB", "not met"), got["peak memory ≤ 150 MB (50000)"])
        self.assertEqual(("1.13×", "met"), got["window ≤ 1.2× orvscan (5000)"])
        self.assertEqual(("0.10 s", "met"), got["Stop ≤ 0.25 s (5000)"])
        self.assertEqual(("0.40 s", "not met"), got["Stop ≤ 0.25 s (50000)"])

    def test_a_whole_machine_has_a_memory_target_for_each_scan(self):
        whole = report("200000", 10.0, 15.0, 20.0, 25.0, 16.0, 12.0, 0.1, peak=130.0)
        got = verdicts(run.targets([whole], None))
        self.assertEqual(("130.00 MB", "not met"), got["orvscan --quick peak memory ≤ 120 MB (200000)"])
        self.assertEqual(("130.00 MB", "met"), got["orvscan --full peak memory ≤ 150 MB (200000)"])

    def test_a_timed_out_run_is_not_measured_never_met(self):
        small = report("5000", 1.0, 1.5, 2.0, 3.0, 1.6, 1.0, None)
        small["runs"]["orvscan --full"] = {"name": "orvscan --full", "timeout": True, "bound": 100.0}
        small["runs"]["window /S"] = {"name": "window /S", "timeout": True, "bound": 1.0}
        got = verdicts(run.targets([small], None))
        self.assertEqual(("> 50.00×", "not met"), got["full ≤ 1.5× floor full (5000)"])
        self.assertEqual(("> 0.67×", "not measured"), got["window ≤ 1.2× orvscan (5000)"])
        self.assertEqual(("n/a", "not measured"), got["Stop ≤ 0.25 s (5000)"])
        self.assertEqual(("1.50×", "met"), got["quick ≤ 2× floor quick (5000)"])

    def test_the_wide_directory_is_judged_on_what_it_adds_to_an_empty_drive(self):
        wide = report("wide", 1.5, 12.0)
        empty = report("empty", 0.5, 4.0)
        got = verdicts(run.targets([], (wide, empty)))
        self.assertEqual(("8.00×", "not met"), got["wide directory ≤ 3× its floor share (CPU)"])
        got = verdicts(run.targets([], (report("wide", 0.5, 6.0), empty)))
        self.assertEqual(("n/a", "not measured"), got["wide directory ≤ 3× its floor share (CPU)"])


class Rounds(unittest.TestCase):
    def test_the_faster_round_is_kept_and_a_timeout_loses(self):
        slow, fast = timed(3.0), timed(2.0)
        self.assertIs(fast, run.fastest(slow, fast))
        self.assertIs(fast, run.fastest(fast, slow))
        timeout = {"name": "x", "timeout": True, "bound": 1.0}
        self.assertIs(slow, run.fastest(timeout, slow))
        self.assertIs(slow, run.fastest(slow, timeout))
        self.assertIs(timeout, run.fastest(None, timeout))

    def test_stop_counts_its_slowest_attempt_and_fails_with_one_that_failed(self):
        self.assertEqual(0.2, run.slowest_stop([0.1, 0.2]))
        self.assertIsNone(run.slowest_stop([0.1, None]))
        self.assertIsNone(run.slowest_stop([]))


class Tries(unittest.TestCase):
    """How often each program of a machine runs, with every measurement stubbed."""

    def runs_of_each(self, warm_up_wall, full=True, window=False):
        calls = collections.Counter()
        with tempfile.TemporaryDirectory() as work:
            bench = run.Bench(work, 1)
            bench.work = work

            def measure(name, command, path=None, phase=None):
                calls[name] += 1
                return timed(warm_up_wall if name == "warm-up" else 2.5)

            def measure_window(path):
                calls["window /S"] += 1
                return timed(2.5)
            bench.measure, bench.measure_window = measure, measure_window
            bench.map_machine = lambda folder, description: None
            bench.wine = lambda command, stdin=None: ""
            bench.measure_stop = lambda: 0.02
            bench.parse_floor = lambda result, path: None
            bench.floor_checks = lambda quick, full, machine: []
            bench.agreement = lambda runs, out: {}
            bench.directories_agreement = lambda runs, out, folder: ""
            with contextlib.redirect_stdout(io.StringIO()):
                bench.run_machine("m", "/machine", {"files": 1, "bytes": 1}, full=full, window=window)
        return calls

    def test_the_two_sides_of_every_ratio_run_as_often(self):
        for warm_up, tries in [(run.SHORT_MACHINE_SECONDS - 1, 3), (run.SHORT_MACHINE_SECONDS + 1, 1)]:
            calls = self.runs_of_each(warm_up)
            self.assertEqual(1, calls.pop("warm-up"))
            self.assertEqual({run.ROUNDS * tries}, set(calls.values()), (warm_up, calls))
            self.assertIn("window /S", calls)
        calls = self.runs_of_each(0.1, full=False, window=True)
        self.assertEqual(run.ROUNDS * 3, calls["window /S"])
        self.assertEqual(calls["window /S"], calls["orvscan --quick"])


class MissedReasons(unittest.TestCase):
    def test_only_a_missed_ratio_gets_a_reason(self):
        met = report("5000", 1.0, 1.5, 2.0, 2.9, 1.7, 1.0, 0.1)
        missed = report("20000", 1.0, 1.5, 2.0, 3.5, 1.9, 1.0, 0.1)
        lines = run.missed_reasons([met, missed])
        self.assertEqual(2, len(lines), lines)
        self.assertTrue(lines[0].startswith("- full scan (20000):"), lines[0])
        self.assertIn("1.50 s more", lines[0])
        self.assertIn("0.50 s of it", lines[0])
        self.assertTrue(lines[1].startswith("- window (20000):"), lines[1])
        self.assertEqual([], run.missed_reasons([met]))
        empty = report("empty", 0.1, 0.4)
        empty["runs"]["window /S"] = timed(0.6)
        lines = run.missed_reasons([missed], empty)
        self.assertIn("the window took 0.60 s and orvscan 0.40 s", lines[1])
        self.assertNotIn("bare_window", lines[1])
        empty["runs"]["bare window"] = timed(0.2)
        empty["runs"]["orvscan --help"] = timed(0.05)
        lines = run.missed_reasons([missed], empty)
        self.assertIn("takes 0.20 s, orvscan's start alone (--help) 0.05 s: 0.15 s", lines[1])


class FloorChecks(unittest.TestCase):
    def test_a_floor_that_read_another_machine_is_reported(self):
        machine = {"quick_bytes": 100, "quick_files": 3, "selected_bytes": 900, "selected_files": 4, "dirs": 2}
        quick = {"name": "floor quick", "drives": {"D:": {"bytes": 100, "opened": 3}}}
        full = {"name": "floor full", "drives": {"D:": {"bytes": 900, "files": 4, "dirs": 3}}}
        bench = run.Bench("/nonexistent", 1)
        self.assertEqual([], bench.floor_checks(quick, full, machine))
        full["drives"]["D:"]["bytes"] = 800
        problems = bench.floor_checks(quick, full, machine)
        self.assertEqual(1, len(problems))
        self.assertIn("bytes=800", problems[0])


if __name__ == "__main__":
    unittest.main()
