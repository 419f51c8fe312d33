"""Tests of the benchmark harness's own logic: measuring, corpora, the plan
and the report. Nothing here looks at how fast anything is."""

from __future__ import annotations

import csv
import hashlib
import itertools
import json
import os
import sys
import tempfile
import unittest
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))

import bench  # noqa: E402
import corpora  # noqa: E402
from measure import TIME_PROGRAM, Measurement, parse_time_report, run_measured  # noqa: E402
from plan import COMPARISONS, EDITOR_COMPARISONS, PHASES, corpus_jobs, editor_jobs, round_order  # noqa: E402
from report import MemoryGoal, Row, Side, format_report, write_csv  # noqa: E402

TIME_REPORT = """Command exited with non-zero status 2
\tCommand being timed: "tar -cf x.tar -C dir ."
\tUser time (seconds): 1.25
\tSystem time (seconds): 0.50
\tElapsed (wall clock) time (h:mm:ss or m:ss): 0:02.10
\tMaximum resident set size (kbytes): 51234
\tExit status: 2
"""


class MeasureTest(unittest.TestCase):
    def test_parses_the_fields_of_a_time_report(self):
        self.assertEqual(parse_time_report(TIME_REPORT),
                         {"user_seconds": 1.25, "system_seconds": 0.5, "peak_kib": 51234, "exit_status": 2})
        self.assertEqual(parse_time_report("Command terminated by signal 9\n\tExit status: 0\n")["signal"], 9)

    @unittest.skipUnless(os.access(TIME_PROGRAM, os.X_OK), "GNU time is not installed")
    def test_run_reports_status_signal_and_peak_memory_of_children(self):
        with tempfile.TemporaryDirectory() as temp:
            stem = Path(temp) / "job"
            cases = [
                (["sh", "-c", "echo out; echo err >&2; exit 3"], 3),
                (["sh", "-c", "kill -9 $$"], -9),
                (["sh", "-c", "true"], 0),
            ]
            for argv, status in cases:
                with self.subTest(argv=argv):
                    self.assertEqual(run_measured(argv, Path(temp), stem).exit_status, status)
            run_measured(["sh", "-c", "echo out; echo err >&2"], Path(temp), stem)
            self.assertEqual(stem.with_suffix(".out").read_text(), "out\n")
            self.assertEqual(stem.with_suffix(".err").read_text(), "err\n")
            # A pipeline's peak is its largest member's, as with tar and its compressor.
            grow = f"{sys.executable} -c 'x = bytes(range(256)) * (320 << 10)'"
            measured = run_measured(["sh", "-c", grow], Path(temp), stem)
            self.assertTrue(measured.ok)
            self.assertGreater(measured.peak_kib, 80 * 1024)
            self.assertLess(measured.peak_kib, 400 * 1024)


class ByteStreamTest(unittest.TestCase):
    def test_reads_are_the_same_however_they_are_cut(self):
        whole = corpora.ByteStream("s").read(corpora.MIB + 100)
        pieces = corpora.ByteStream("s")
        cut = b"".join(pieces.read(n) for n in (3, corpora.MIB - 5, 1, 101))
        self.assertEqual(cut, whole)
        self.assertNotEqual(corpora.ByteStream("t").read(64), whole[:64])

    def test_generators_keep_their_output(self):
        # Corpora are re-used between runs: a generator that changes its bytes
        # must bump GENERATOR_VERSION, and then these digests.
        expected = {
            "random": "2dd8f1dc5e86d719",
            "runs": "a31ba085a8eb06e4",
            "text": "97e27f3cef603693",
        }
        made = {
            "random": corpora.ByteStream("b/random").read(100_000),
            "runs": corpora.run_heavy(corpora.ByteStream("b/runs"), 100_000),
            "text": corpora.TextSource("b/text").text(100_000),
        }
        for name, data in made.items():
            with self.subTest(name):
                self.assertEqual(len(data), 100_000)
                self.assertEqual(hashlib.sha256(data).hexdigest()[:16], expected[name])

    def test_data_has_its_kind(self):
        text = corpora.TextSource("x").text(50_000)
        self.assertTrue(text.decode("ascii").count("\n") > 500)
        runs = corpora.run_heavy(corpora.ByteStream("y"), 200_000)
        longest = max(len(list(run)) for _, run in itertools.groupby(runs))
        self.assertGreater(longest, 1000)
        self.assertEqual(len(corpora.TextSource("x").text(7)), 7)


class SmallFilesTest(unittest.TestCase):
    def test_layout_fills_every_folder_evenly_within_the_pack_limit(self):
        for quick, files, folder_count in ((False, 100_000, 250), (True, 5_000, 25)):
            with self.subTest(quick=quick):
                layout = corpora.small_file_layout(*corpora.CorpusSpec("c", quick).small_files)
                folders: dict[str, int] = {}
                for path, _ in layout:
                    folder = path.rsplit("/", 1)[0]
                    folders[folder] = folders.get(folder, 0) + 1
                self.assertEqual(len({path for path, _ in layout}), files)
                self.assertEqual(len(folders), folder_count)
                self.assertLessEqual(max(folders.values()) - min(folders.values()), 1)


class RealTreeTest(unittest.TestCase):
    def setUp(self):
        self.temp = tempfile.TemporaryDirectory()
        self.root = Path(self.temp.name)
        self.source = self.root / "src"

    def tearDown(self):
        self.temp.cleanup()

    def write(self, relative: str, text: str = "x") -> None:
        path = self.source / relative
        path.parent.mkdir(parents=True, exist_ok=True)
        path.write_text(text)

    def copied(self, folder: str = "out") -> dict[str, str]:
        target = self.root / folder
        return {str(p.relative_to(target)): p.read_text() for p in sorted(target.rglob("*")) if p.is_file()}

    def test_links_become_plain_files_and_unstorable_entries_are_left_out(self):
        self.write("a.h", "A")
        self.write("sub/b.h", "B")
        os.symlink("a.h", self.source / "link.h")
        os.symlink("sub", self.source / "linked-folder")
        os.symlink("missing", self.source / "dangling")
        os.mkfifo(self.source / "fifo")
        self.write("back\\slash.h")
        self.write("\U0001F600.h")
        skipped = corpora.copy_real_trees((str(self.source),), self.root / "out", 1, 255)
        self.assertEqual(self.copied(), {"src/a.h": "A", "src/link.h": "A", "src/sub/b.h": "B"})
        self.assertFalse((self.root / "out/src/link.h").is_symlink())
        self.assertEqual(skipped, 5)

    def test_folders_beyond_the_budget_fold_into_the_nearest_kept_one(self):
        for name in ("many/1", "many/2", "many/3", "many/deep/4", "few/5", "few/inner/6"):
            self.write(name)
        corpora.copy_real_trees((str(self.source),), self.root / "three", 1, 3)
        # src, many (4 files) and few (2 files) stay; many/deep and few/inner fold.
        self.assertEqual(sorted(self.copied("three")), ["src/few/5", "src/few/inner__6", "src/many/1", "src/many/2",
                                                        "src/many/3", "src/many/deep__4"])
        # With room for two, the folder with fewer files folds into src as well.
        corpora.copy_real_trees((str(self.source),), self.root / "out", 1, 2)
        self.assertEqual(sorted(self.copied()), ["src/few__5", "src/few__inner__6", "src/many/1", "src/many/2",
                                                 "src/many/3", "src/many/deep__4"])

    def test_stride_keeps_every_nth_file(self):
        for i in range(10):
            self.write(f"f{i}")
        corpora.copy_real_trees((str(self.source),), self.root / "out", 4, 255)
        self.assertEqual(sorted(self.copied()), ["src/f0", "src/f4", "src/f8"])


class EnsureCorpusTest(unittest.TestCase):
    def test_reuses_a_corpus_only_when_it_was_made_the_same_way(self):
        spec = corpora.CorpusSpec("b", quick=True)
        with tempfile.TemporaryDirectory() as temp:
            base = Path(temp)
            root, stats = corpora.ensure_corpus(spec, base, log=lambda _: None)
            self.assertEqual(sorted(p.name for p in root.iterdir()), ["random.bin", "runs.bin", "text.txt"])
            self.assertEqual(stats.total_bytes, sum(spec.large_files.values()))
            self.assertEqual(stats.largest_bytes, max(spec.large_files.values()))

            (root / "text.txt").write_bytes(b"kept")  # re-used as it is
            corpora.ensure_corpus(spec, base, log=lambda _: None)
            self.assertEqual((root / "text.txt").read_bytes(), b"kept")

            marker = base / "b.json"
            saved = json.loads(marker.read_text())
            saved["key"]["generator"] = corpora.GENERATOR_VERSION - 1
            marker.write_text(json.dumps(saved))
            corpora.ensure_corpus(spec, base, log=lambda _: None)
            self.assertEqual((root / "text.txt").stat().st_size, spec.large_files["text.txt"])


class PlanTest(unittest.TestCase):
    def setUp(self):
        self.jobs = corpus_jobs(Path("/bin/epk"), Path("/corpus"), Path("/work"))
        self.keys = {job.key: job for job in self.jobs}

    def test_comparisons_and_readers_name_existing_jobs(self):
        for c in COMPARISONS:
            with self.subTest(c.label):
                self.assertIn(c.epk, self.keys)
                self.assertIn(c.peer, self.keys)
                self.assertEqual(self.keys[c.epk].tool, "epk")
        for job in self.jobs:
            if job.reads:
                self.assertEqual(self.keys[job.reads].phase, "create", job.key)

    def test_no_two_jobs_share_an_archive_or_a_destination(self):
        outputs = [job.output for job in self.jobs if job.output]
        destinations = [job.destination for job in self.jobs if job.destination]
        self.assertEqual(len(set(outputs)), len(outputs))
        self.assertEqual(len(set(destinations)), len(destinations))
        self.assertTrue(all(d.parent == Path("/work") for d in outputs + destinations))

    def test_every_round_makes_an_archive_before_reading_it(self):
        for number in range(4):
            ordered = round_order(self.jobs, number)
            self.assertEqual(sorted(j.key for j in ordered), sorted(self.keys))
            position = {job.key: i for i, job in enumerate(ordered)}
            for job in ordered:
                if job.reads:
                    self.assertLess(position[job.reads], position[job.key])
            phases = [job.phase for job in ordered]
            self.assertEqual(phases, sorted(phases, key=PHASES.index))
        self.assertNotEqual([j.key for j in round_order(self.jobs, 0)], [j.key for j in round_order(self.jobs, 1)])

    def test_zip_stores_paths_relative_to_the_corpus(self):
        for job in self.jobs:
            if job.argv[0] == "zip":
                self.assertEqual((job.cwd, job.argv[-1]), (Path("/corpus"), "."))


class EditorPlanTest(unittest.TestCase):
    def test_the_editor_reads_the_pack_it_is_compared_with_and_its_parts_never_run(self):
        jobs = editor_jobs(Path("/bin/epk"), Path("/bin/gui"), Path("/corpus"), Path("/work"), "big")
        keys = {job.key: job for job in jobs}
        for c in EDITOR_COMPARISONS:
            self.assertIn(c.epk, keys)
            self.assertIn(c.peer, keys)
        self.assertEqual(keys["editor"].argv, ("/bin/gui", str(keys["epk none create"].output), "big"))
        ordered = [job.key for job in round_order(jobs, 1)]
        self.assertEqual(ordered, ["epk none create", "epk none list", "editor"])

    def test_reads_the_editors_report_and_checks_its_rows(self):
        with tempfile.TemporaryDirectory() as work:
            corpus = Path(work) / "corpus"
            (corpus / "big").mkdir(parents=True)
            for name in ("a", "b", "c"):
                (corpus / "big" / name).write_bytes(b"")
            stem = Path(work) / "editor"
            job = editor_jobs(Path("/bin/epk"), Path("/bin/gui"), corpus, Path(work), "big")[2]
            stats = corpora.CorpusStats(3, 1, 0, 0)
            stem.with_suffix(".out").write_text("open_s 0.25\nshow_s 0.125\nrows 3\nnoise\n")
            self.assertEqual(bench.editor_report(stem), {"open_s": 0.25, "show_s": 0.125, "rows": 3})
            self.assertIsNone(bench.check_output(job, corpus, stats, stem))
            stem.with_suffix(".out").write_text("open_s 0.25\nrows 2\n")
            self.assertEqual(bench.check_output(job, corpus, stats, stem), "the list showed 2 rows, expected 3")


def side(seconds=None, peak=None, size=None, failed=False, command="cmd") -> Side:
    return Side(command, seconds, peak, peak, size, failed)


class ReportTest(unittest.TestCase):
    def comparison(self, label):
        return next(c for c in COMPARISONS if c.label == label)

    def test_goal_marks(self):
        store = self.comparison("store: create")
        listing = self.comparison("list")
        smaller = self.comparison("zstd-fast size vs lz")
        cases = [
            ("at the limit passes", "a", store, side(2.0), side(2.0), "PASS"),
            ("above the limit", "a", store, side(2.01), side(2.0), "FAIL"),
            ("a failed epk run", "a", store, side(1.0, failed=True), side(2.0), "FAIL"),
            ("a failed peer run", "a", store, side(1.0), side(2.0, failed=True), "FAIL"),
            ("nothing measured", "a", store, side(), side(2.0), "FAIL"),
            ("list goal holds for c", "c", listing, side(0.5), side(1.0), "PASS"),
            ("list elsewhere: shown only", "a", listing, side(0.9), side(1.0), ""),
            ("equal sizes are not smaller", "a", smaller, side(size=100), side(size=100), "FAIL"),
            ("smaller size passes", "a", smaller, side(size=99), side(size=100), "PASS"),
            ("size goal only on a", "b", smaller, side(size=99), side(size=100), ""),
        ]
        for name, corpus, comparison, epk, peer, result in cases:
            with self.subTest(name):
                self.assertEqual(Row(corpus, comparison, epk, peer).result(), result)

    def test_memory_goal_uses_workers_plus_one_largest_files_and_the_highest_round(self):
        goal = MemoryGoal("b", workers=2, largest_bytes=384 << 20)
        self.assertEqual(goal.limit_mib, 3 * 384 + 64)
        goal.epk = [side(peak=100.0, command="small"), side(peak=1215.0, command="big")]
        self.assertEqual((goal.highest().command, goal.result()), ("big", "PASS"))
        goal.epk[0].highest_peak_mib = 1216.0
        self.assertEqual((goal.highest().command, goal.result()), ("small", "FAIL"))
        self.assertEqual(MemoryGoal("c", 2, 4096).result(), "FAIL")  # nothing measured

    def test_side_takes_medians_and_notes_any_failed_round(self):
        job = corpus_jobs(Path("epk"), Path("c"), Path("w"))[0]
        runs = [Measurement(s, kib, 0, 0, 0) for s, kib in ((3.0, 1024), (1.0, 4096), (2.0, 2048))]
        measured = Side.of(job, runs, 10, wrong_output=False)
        self.assertEqual((measured.seconds, measured.peak_mib, measured.highest_peak_mib), (2.0, 2.0, 4.0))
        self.assertFalse(measured.failed)
        runs.append(Measurement(1.0, 1, 0, 0, 1))
        self.assertTrue(Side.of(job, runs, 10, wrong_output=False).failed)
        self.assertTrue(Side.of(job, runs[:1], 10, wrong_output=True).failed)

    def test_table_and_csv_carry_every_row_and_goal(self):
        rows = {"c": [Row("c", c, side(1.0, 10.0, 90), side(2.0, 5.0, 100)) for c in COMPARISONS]}
        memory = [MemoryGoal("c", 2, 4096, [side(1.0, 10.0, command="epk list (none)")])]
        text = format_report([("date", "today"), ("machine", "2 cores")], rows, memory, {"c": "small files"})
        self.assertIn("machine  2 cores", text)
        self.assertIn("Corpus c: small files", text)
        for c in COMPARISONS:
            self.assertIn(c.label, text)
        self.assertRegex(text, r"c\s+cmd / cmd: wall time\s+0\.50\s+<= 0\.50\s+PASS")
        self.assertRegex(text, r"c\s+peak memory .*10\.0\s+< 64\.0\s+PASS")
        with tempfile.TemporaryDirectory() as temp:
            path = Path(temp) / "t.csv"
            write_csv(path, rows, memory)
            with open(path, newline="") as f:
                read = list(csv.DictReader(f))
        self.assertEqual(len(read), len(COMPARISONS) + 1)
        listed = next(r for r in read if r["comparison"] == "list")
        self.assertEqual((listed["time_ratio"], listed["size_ratio"], listed["result"]), ("0.5000", "0.9000", "PASS"))
        self.assertEqual(read[-1]["kind"], "memory")


if __name__ == "__main__":
    unittest.main()
