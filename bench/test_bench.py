"""Tests of the benchmark harness's own logic: measuring, corpora, the plan,
the pairs, the checks and the report. Nothing here looks at how fast anything is."""

from __future__ import annotations

import csv
import hashlib
import itertools
import json
import os
import subprocess
import sys
import tempfile
import unittest
from unittest import mock
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))

import checks  # noqa: E402
import corpora  # noqa: E402
from hostmemory import host_reporting_paused  # noqa: E402
import plan  # noqa: E402
import realtree  # noqa: E402
from measure import TIME_PROGRAM, Measurement, parse_time_report, run_measured  # noqa: E402
from plan import (CHANGED_TREE, COMMANDS, COMPARISONS, EDITS, Command, Comparison, EditCheck, comparisons_for,  # noqa: E402
                  pair_order, places, producer, still_needed, timed_argv)
from report import format_report, write_csv  # noqa: E402
from results import MIB, MemoryCheck, Pair, RowResult, Spread, memory_limit_mib  # noqa: E402
from runner import Place, Runner, make_changed_tree  # noqa: E402

TIME_REPORT = """Command exited with non-zero status 2
\tCommand being timed: "tar -cf x.tar -C dir ."
\tUser time (seconds): 1.25
\tSystem time (seconds): 0.50
\tElapsed (wall clock) time (h:mm:ss or m:ss): 0:02.10
\tMaximum resident set size (kbytes): 51234
\tExit status: 2
"""


REAPER_DIR = tempfile.TemporaryDirectory()
REAPER = Path(REAPER_DIR.name) / "reaper"


def setUpModule():
    subprocess.run(["cc", "-O2", "-o", str(REAPER), str(Path(__file__).resolve().parent / "reaper.c")], check=True)


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
                    self.assertEqual(run_measured(argv, Path(temp), stem, REAPER).exit_status, status)
            run_measured(["sh", "-c", "echo out; echo err >&2"], Path(temp), stem, REAPER)
            self.assertEqual(stem.with_suffix(".out").read_text(), "out\n")
            self.assertEqual(stem.with_suffix(".err").read_text(), "err\n")
            # A pipeline's peak is its largest member's, as with tar and its compressor.
            grow = f"{sys.executable} -c 'x = bytes(range(256)) * (320 << 10)'"
            measured = run_measured(["sh", "-c", grow], Path(temp), stem, REAPER)
            self.assertTrue(measured.ok)
            self.assertGreater(measured.peak_kib, 80 * 1024)
            self.assertLess(measured.peak_kib, 400 * 1024)
            # A process the command leaves behind has ended too when the run does.
            left = Path(temp) / "left"
            run_measured(["sh", "-c", f"(sleep 0.2; touch {left}) & exit 0"], Path(temp), stem, REAPER)
            self.assertTrue(left.exists())

    def test_host_page_reports_are_paused_for_the_run_and_put_back_after_a_failure(self):
        with tempfile.TemporaryDirectory() as temp:
            knob = Path(temp) / "page_reporting_order"
            knob.write_text("9\n")
            with self.assertRaises(SystemExit), host_reporting_paused(knob) as line:
                self.assertEqual(knob.read_text(), "11")
                self.assertIn("9 -> 11", line)
                raise SystemExit(1)
            self.assertEqual(knob.read_text(), "9")
            with host_reporting_paused(Path(temp) / "none") as line:
                self.assertIn("left as it is", line)


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
            "game": "42f4a2ebe6775e29",
        }
        made = {
            "random": corpora.ByteStream("b/random").read(100_000),
            "runs": corpora.run_heavy(corpora.ByteStream("b/runs"), 100_000),
            "text": corpora.TextSource("b/text").text(100_000),
            "game": corpora.game_block()[:100_000],
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
        cases = (("c", False, 100_000, 250), ("c", True, 5_000, 25), ("s", False, 20_000, 100), ("s", True, 2_000, 10))
        for name, quick, files, folder_count in cases:
            with self.subTest(name, quick=quick):
                layout = corpora.small_file_layout(*corpora.CorpusSpec(name, quick).small_files)
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
        skipped = realtree.copy_real_trees((str(self.source),), self.root / "out", 1, 255)
        self.assertEqual(self.copied(), {"src/a.h": "A", "src/link.h": "A", "src/sub/b.h": "B"})
        self.assertFalse((self.root / "out/src/link.h").is_symlink())
        self.assertEqual(skipped, 5)

    def test_folders_beyond_the_budget_fold_into_the_nearest_kept_one(self):
        for name in ("many/1", "many/2", "many/3", "many/deep/4", "few/5", "few/inner/6"):
            self.write(name)
        realtree.copy_real_trees((str(self.source),), self.root / "three", 1, 3)
        # src, many (4 files) and few (2 files) stay; many/deep and few/inner fold.
        self.assertEqual(sorted(self.copied("three")), ["src/few/5", "src/few/inner__6", "src/many/1", "src/many/2",
                                                        "src/many/3", "src/many/deep__4"])
        # With room for two, the folder with fewer files folds into src as well.
        realtree.copy_real_trees((str(self.source),), self.root / "out", 1, 2)
        self.assertEqual(sorted(self.copied()), ["src/few__5", "src/few__inner__6", "src/many/1", "src/many/2",
                                                 "src/many/3", "src/many/deep__4"])

    def test_stride_keeps_every_nth_file(self):
        for i in range(10):
            self.write(f"f{i}")
        realtree.copy_real_trees((str(self.source),), self.root / "out", 4, 255)
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


class GameCorpusTest(unittest.TestCase):
    def test_the_edits_name_files_and_folders_of_corpus_d(self):
        for quick in (True, False):
            layout = corpora.game_layout(corpora.CorpusSpec("d", quick))
            paths = {path for path, _ in layout}
            folders = {path.rsplit("/", 1)[0] for path in paths if "/" in path}
            self.assertEqual(folders, {"maps", "sounds"})
            self.assertIn(plan.SYNC_CHANGE, paths)
            for name, _, check, coded in EDITS:
                with self.subTest(name, quick=quick):
                    for path in (check.absent, check.changed, coded):
                        self.assertIn(path or "maps/map00.bin", paths)
                    if check.present:
                        self.assertNotIn(check.present, paths)
                        self.assertIn(check.present.rpartition("/")[0] or "maps", folders)

    def test_every_mebibyte_differs(self):
        block = bytes(corpora.MIB)
        parts = {corpora.stamped(block, f, m) for f in range(3) for m in range(3)}
        self.assertEqual(len(parts), 9)
        self.assertTrue(all(len(p) == corpora.MIB for p in parts))


def command(**fields) -> Command:
    return Command(fields.pop("key", "test"), fields.pop("tool", "epk"), fields.pop("template", "true"), **fields)


class PlanTest(unittest.TestCase):
    def test_comparisons_name_commands_whose_inputs_someone_makes(self):
        for c in COMPARISONS:
            with self.subTest(c.label):
                epk, peer = c.commands()
                self.assertIn(epk.tool, ("epk", "editor"))
                self.assertFalse(set(epk.writes) & set(peer.writes))
                for name in epk.needs + peer.needs:
                    self.assertEqual(producer(name).needs, ())
                self.assertTrue(set(c.limits) <= set(c.corpora))

    def test_every_corpus_makes_an_archive_before_a_comparison_reads_it(self):
        for corpus in corpora.NAMES:
            made: set[str] = set()
            for c in comparisons_for(corpus):
                for command in c.commands():
                    for name in command.needs:
                        # Only the editor's corpus leaves its pack to the harness to make.
                        self.assertTrue(name in made or corpus == "g" or "pw" in name, (corpus, c.label, name))
                    made.update(command.writes)

    def test_limits_by_corpus_and_by_core(self):
        extract = next(c for c in COMPARISONS if c.label == "store: extract")
        scaling = next(c for c in COMPARISONS if c.per_core)
        self.assertEqual([extract.limit(k, 2) for k in "scabd"], [0.8, 0.8, 1.0, 1.0, None])
        self.assertAlmostEqual(scaling.limit("s", 2), 0.65)
        self.assertEqual([c.label for c in comparisons_for("s", ("extract", "list"))],
                         ["store: extract", "list", "lz: extract", "zstd-fast: extract"])

    def test_pairs_alternate_which_side_goes_first(self):
        self.assertEqual([pair_order(n) for n in range(4)],
                         [("epk", "peer"), ("peer", "epk"), ("epk", "peer"), ("peer", "epk")])

    def test_disk_mode_ends_every_timed_command_with_a_sync(self):
        fill = places(Path("/b/epk"), Path("/b/gui"), Path("/w d"), Path("/c"), Path("/o"), "disk")
        create = COMMANDS["epk create none"]
        argv = create.argv(fill)
        self.assertEqual(argv, ["/b/epk", "create", "/w d/none.epk", "/c", "--scheme", "none"])
        self.assertEqual(timed_argv(create, argv, "shm"), argv)
        self.assertEqual(timed_argv(create, argv, "disk"),
                         ["sh", "-c", "/b/epk create '/w d/none.epk' /c --scheme none && sync"])
        # The editor times itself, so it syncs inside its own time.
        save = COMMANDS["editor save"]
        self.assertEqual(timed_argv(save, save.argv(fill), "disk"), ["/b/gui", "--save-after-edit", "/w d/edit.epk",
                                                                     "--sync"])
        shm = places(Path("/b/epk"), None, Path("/w"), Path("/c"), Path("/o"), "shm")
        self.assertEqual(save.argv(shm)[1:], ["--save-after-edit", "/w/edit.epk"])
        extract = COMMANDS["editor extract, progress window"]
        self.assertEqual(timed_argv(extract, extract.argv(fill), "disk"),
                         ["/b/gui", "--extract", "/w d/none.epk", "big", "/o", "--sync", "--progress-window"])

    def test_commands_are_shown_without_their_folders(self):
        self.assertEqual(COMMANDS["epk add, password"].shown(), "epk add edit.epk small.txt --password-file pw.txt")
        self.assertEqual(COMMANDS["tar lzop extract"].shown(), "tar --lzop -xf peer.tar.lzo -C OUT")
        self.assertEqual(COMMANDS["editor save"].shown(), "tarvex-gui-bench --save-after-edit edit.epk")

    def test_what_later_comparisons_still_need(self):
        later = comparisons_for("d")[2:]  # after store: create and store: extract
        files, uses_corpus = still_needed(later)
        self.assertEqual(files, {"none.epk", "none-pw.epk", CHANGED_TREE})
        self.assertTrue(uses_corpus)  # sync's tree is made from it
        files, uses_corpus = still_needed(comparisons_for("d", ("edit: rm", "edit: mv")))
        self.assertEqual(files, {"none.epk", "none-pw.epk"})
        self.assertFalse(uses_corpus)
        files, uses_corpus = still_needed(comparisons_for("a", ("size",)))
        self.assertEqual(files, {"zstd-fast.epk", "zstd-strong.epk", "lz.epk", "peer.sqfs"})
        self.assertTrue(uses_corpus)


def measured(seconds: float, peak_kib: int = 1024) -> Measurement:
    return Measurement(seconds, peak_kib, 0, 0, 0)


PASTE = "editor: paste / show folder"


def row_of(label: str, corpus: str, pairs: list[tuple[float, float]], **fields) -> RowResult:
    comparison = next(c for c in COMPARISONS if c.label == label)
    row = RowResult("shm", corpus, comparison, "epk x", "peer y", comparison.limit(corpus, 2), **fields)
    row.pairs = [Pair(n, n % 2 == 0, measured(e, int(e * 1024)), measured(p, int(p * 2048)))
                 for n, (e, p) in enumerate(pairs)]
    return row


class ResultsTest(unittest.TestCase):
    def test_the_ratio_is_the_median_of_the_pairs_ratios(self):
        # The sides' medians would give 2 / 2 = 1.0; one slow run moves the
        # ratio of its own pair only.
        row = row_of("store: create", "s", [(1, 4), (2, 1), (3, 2)])
        self.assertEqual(row.time_ratio, Spread(1.5, 0.25, 2.0))
        self.assertEqual((row.epk_seconds, row.peer_seconds), (2, 2))
        self.assertEqual(row.peak_ratio, Spread(0.75, 0.125, 1.0))
        self.assertIsNone(Spread.of([1.0, None]))

    def test_goal_marks(self):
        cases = [
            ("at the limit passes", row_of("store: create", "s", [(0.8, 1.0)] * 5), "PASS"),
            ("above the limit", row_of("store: create", "s", [(0.81, 1.0)] * 5), "FAIL"),
            ("a failed run", row_of("store: create", "s", [(0.5, 1.0)], problem="exit status 1"), "FAIL"),
            ("nothing measured", row_of("store: create", "s", []), "FAIL"),
            ("shown only", row_of("store: create", "a", [(5.0, 1.0)]), ""),
            ("equal sizes are not smaller", row_of("zstd-fast size / lz", "a", [], epk_bytes=9, peer_bytes=9), "FAIL"),
            ("a smaller size passes", row_of("zstd-fast size / lz", "a", [], epk_bytes=8, peer_bytes=9), "PASS"),
            ("below the seconds", row_of(PASTE, "g", [(0.49, 0.1), (0.3, 0.1)], seconds_limit=0.5), "PASS"),
            ("at the seconds", row_of(PASTE, "g", [(0.5, 0.1)], seconds_limit=0.5), "FAIL"),
            ("seconds, nothing measured", row_of(PASTE, "g", [], seconds_limit=0.5), "FAIL"),
        ]
        for name, row, result in cases:
            with self.subTest(name):
                self.assertEqual(row.result(), result)

    def test_memory_limit_grows_with_the_largest_coded_file_and_the_workers(self):
        self.assertEqual(memory_limit_mib(None, 2), 64)
        self.assertEqual(memory_limit_mib(2 * MIB, 2), 72)
        self.assertEqual(memory_limit_mib(384 * MIB, 4), 64 + 3072)
        cases = [(64 * 1024, "PASS"), (64 * 1024 + 1, "FAIL"), (None, "FAIL")]
        for peak, result in cases:
            with self.subTest(peak=peak):
                self.assertEqual(MemoryCheck("shm", "d", "epk rm", peak, 64).result(), result)


class ChecksTest(unittest.TestCase):
    PRISTINE = checks.parse_listing("world.dat\t9\t9\tnone\nmaps\\a.bin\t2\t2\tnone\nmaps\\b.bin\t2\t2\tnone\n")

    def test_an_edited_pack_is_checked_against_the_pristine_one(self):
        def listing(*lines: str) -> dict[str, str]:
            return checks.parse_listing("".join(line + "\n" for line in lines))

        kept = ("world.dat\t9\t9\tnone", "maps\\b.bin\t2\t2\tnone")
        cases = [
            ("added", EditCheck(1, present="small.txt"),
             listing(*kept, "maps\\a.bin\t2\t2\tnone", "small.txt\t6\t6\tn"), None),
            ("nothing added", EditCheck(1, present="small.txt"), self.PRISTINE, "lists 3 files, expected 4"),
            ("removed", EditCheck(-1, absent="maps/a.bin"), listing(*kept), None),
            ("moved", EditCheck(present="b.bin", absent="maps/a.bin"), listing(*kept, "a.bin\t2\t2\tnone"),
             "does not list b.bin"),
            ("still there", EditCheck(absent="maps/a.bin"), self.PRISTINE, "still lists maps/a.bin"),
            ("coded", EditCheck(changed="maps/a.bin"), listing(*kept, "maps\\a.bin\t2\t1\tlz"), None),
            ("not coded", EditCheck(changed="maps/a.bin"), self.PRISTINE, "did not change"),
            ("renamed by the editor", EditCheck(present="{renamed}"), listing(*kept[1:], "maps\\a.bin\t2\t2\tnone",
                                                                              "new.dat\t9\t9\tnone"), None),
            ("does not list", EditCheck(), None, "the edited pack does not list"),
        ]
        for name, check, edited, wrong in cases:
            with self.subTest(name):
                problem = checks.edited(check, self.PRISTINE, edited, {"renamed": "new.dat"})
                if wrong is None:
                    self.assertIsNone(problem)
                else:
                    self.assertIn(wrong, problem or "")

    def test_listings_and_reports(self):
        with tempfile.TemporaryDirectory() as temp:
            out = Path(temp) / "run.out"
            out.write_text("a\nb\nc\nd\n")
            stats = corpora.CorpusStats(files=3, folders=0, total_bytes=0, largest_bytes=0)
            self.assertEqual(checks.listing_lines(out, "epk", stats), "listed 4 lines, expected 3")
            self.assertIsNone(checks.listing_lines(out, "tar", stats))  # tar lists "./" too
            out.write_text("open_s 0.25\nsave_s 1.5\nrenamed renamed-x y.dat\nnoise\n")
            self.assertEqual(checks.program_report(out), {"open_s": "0.25", "save_s": "1.5",
                                                          "renamed": "renamed-x y.dat"})
            (Path(temp) / corpora.EDITOR_FOLDER).mkdir()
            for name in ("a", "b"):
                (Path(temp) / corpora.EDITOR_FOLDER / name).write_bytes(b"")
            self.assertIsNone(checks.shown_rows({"rows": "2"}, Path(temp)))
            self.assertEqual(checks.shown_rows({}, Path(temp)), "the list showed no rows, expected 2")


@unittest.skipUnless(os.access(TIME_PROGRAM, os.X_OK), "GNU time is not installed")
class RunnerTest(unittest.TestCase):
    """Stand-in commands (a shell script) in place of epk and its peers."""

    def setUp(self):
        self.temp = tempfile.TemporaryDirectory()
        root = Path(self.temp.name)
        self.script = root / "tool.sh"
        # tool.sh SIDE FILE...: notes the side and appends it to each file.
        self.script.write_text('#!/bin/sh\nside=$1; shift\necho "$side" >> "$(dirname "$0")/order"\n'
                               'for f in "$@"; do echo "$side" >> "$f"; done\n')
        self.script.chmod(0o755)
        (root / "corpus").mkdir()
        stats = corpora.CorpusStats(1, 0, 1, 1)
        self.place = Place("d", root / "corpus", stats, root / "work", copy=root / "shm" / "d")
        self.place.work.mkdir()
        self.runner = Runner(Path("/bin/epk"), None, REAPER, pairs=3, workers=2, logs=root, log=lambda _: None)

    def tearDown(self):
        self.temp.cleanup()

    def order(self) -> list[str]:
        return (self.script.parent / "order").read_text().split()

    def test_pairs_alternate_after_a_warm_up_pair(self):
        epk = command(key="e", template=f"{self.script} epk", memory_goal=True)
        peer = command(key="p", tool="peer", template=f"{self.script} peer")
        comparison = Comparison("trial", "e", "p", "d", {"d": 1.0})
        with mock.patch.dict(plan.COMMANDS, {"e": epk, "p": peer}):
            row = self.runner.run_comparison("shm", self.place, comparison)
        self.assertIsNone(row.problem)
        self.assertEqual(self.order(), ["epk", "peer", "epk", "peer", "peer", "epk", "epk", "peer"])
        self.assertEqual([p.epk_first for p in row.pairs], [True, False, True])
        self.assertEqual(len(self.runner.peaks[("shm", "d", "e")]), 4)

    def test_every_edit_starts_from_the_pristine_pack_and_outputs_are_removed_first(self):
        (self.place.work / "pristine.epk").write_text("pristine\n")
        edit = command(template=f"{self.script} epk {{work}}/edit.epk {{work}}/made.bin",
                       restores=("pristine.epk", "edit.epk"), output="made.bin")
        copy = command(tool="peer", template=f"{self.script} peer {{work}}/copy.epk",
                       restores=("pristine.epk", "fresh.epk"), replaces="copy.epk")
        for _ in range(3):
            for run in (edit, copy):
                _, problem = self.runner.run_once("shm", self.place, run, "edit", "pair", check=False)
                self.assertIsNone(problem)
            self.assertEqual((self.place.work / "edit.epk").read_text(), "pristine\nepk\n")
            self.assertEqual((self.place.work / "made.bin").read_text(), "epk\n")
            self.assertEqual((self.place.work / "copy.epk").read_text(), "pristine\npeer\n")

    def test_a_failed_warm_up_runs_no_pairs(self):
        fails = command(key="e", template="false")
        peer = command(key="p", tool="peer", template=f"{self.script} peer")
        with mock.patch.dict(plan.COMMANDS, {"e": fails, "p": peer}):
            row = self.runner.run_comparison("shm", self.place, Comparison("trial", "e", "p", "d", {"d": 1.0}))
        self.assertIn("exit status 1", row.problem)
        self.assertEqual((row.pairs, row.result()), ([], "FAIL"))
        self.assertFalse((self.script.parent / "order").exists())  # nothing ran after the failure

    def test_the_changed_tree_links_the_corpus_but_for_its_changed_file(self):
        corpus = self.place.kept
        (corpus / "maps").mkdir()
        (corpus / "maps" / "a.bin").write_bytes(b"a")
        (corpus / "maps" / "b.bin").write_bytes(b"b")
        tree = self.place.work / CHANGED_TREE
        make_changed_tree(corpus, tree, "maps/b.bin")
        self.assertTrue((tree / "maps" / "a.bin").samefile(corpus / "maps" / "a.bin"))
        self.assertEqual((tree / "maps" / "b.bin").read_bytes(), b"bchanged\n")
        self.assertEqual((corpus / "maps" / "b.bin").read_bytes(), b"b")

    def test_clean_up_keeps_only_what_later_comparisons_need(self):
        work = self.place.work
        for name in ("none.epk", "peer.tar", "edit.epk", "small.txt"):
            (work / name).write_text("x")
        self.place.ensure_corpus()
        self.runner.clean_up(self.place, comparisons_for("d", ("edit: editor",)))
        self.assertEqual(sorted(p.name for p in work.iterdir()), ["none.epk", "small.txt"])
        self.assertFalse(self.place.copy.exists())  # the save never reads the corpus
        # The pack the password edits start from is still to be made from the corpus.
        self.place.ensure_corpus()
        self.runner.clean_up(self.place, comparisons_for("d", ("edit: rm, password",)))
        self.assertTrue(self.place.copy.exists())


class ReportTest(unittest.TestCase):
    def test_table_and_csv_carry_every_row_pair_and_goal(self):
        rows = [row_of(c.label, "s", [(1.0, 2.0), (3.0, 2.0)], epk_bytes=90, peer_bytes=100)
                for c in comparisons_for("s")]
        rows[0].problem = "epk create none: exit status 1, see the log " + "x" * 200
        memory = [MemoryCheck("shm", "s", rows[0].epk_command, 10 * 1024, 64)]
        rows[0].memory = memory[0]
        sizes = row_of("zstd-fast size / lz", "a", [], epk_bytes=3 * MIB, peer_bytes=4 * MIB)
        paste = row_of(PASTE, "g", [(0.2, 0.1)], seconds_limit=0.5)
        blocks = {("shm", "s"): rows, ("shm", "g"): [paste], ("disk", "a"): [sizes]}
        header = [("date", "today"), ("method", "2 pairs, median of pair ratios (min-max) " * 6)]
        text = format_report(header, blocks, memory, {"s": "small files", "a": "real files " * 20, "g": "the editor"},
                             warning="NOT A RESULT")
        self.assertTrue(text.splitlines()[2].startswith("*** NOT A RESULT"))
        self.assertLessEqual(max(map(len, text.splitlines())), 140)
        modes = [line.split(":")[0] for line in text.splitlines() if line.startswith("== Mode")]
        self.assertEqual(modes, ["== Mode shm", "== Mode disk"])
        self.assertRegex(text, r"zstd-fast size / lz\s+3\.00\s+4\.00\s+0\.75\s+< 1\.00\s+PASS")
        self.assertRegex(text, r"store: create\s+2\.000\s+2\.000\s+1\.00 \(0\.50-1\.50\).*"
                               r"<= 0\.80\s+FAIL\s+<= 64\s+PASS")
        self.assertRegex(text, r"shm\s+s\s+list: time epk / peer\s+1\.00 \(0\.50-1\.50\)\s+<= 0\.30\s+FAIL")
        self.assertRegex(text, r"shm\s+s\s+epk x\s+10\.0\s+<= 64\s+PASS")
        self.assertRegex(text, r"shm\s+g\s+editor: paste / show folder: epk seconds\s+0\.200\s+"
                               r"< 0\.50 s\s+PASS")
        with tempfile.TemporaryDirectory() as temp:
            path = Path(temp) / "t.csv"
            write_csv(path, rows + [sizes], memory)
            with open(path, newline="") as f:
                read = list(csv.DictReader(f))
        kinds = [r["kind"] for r in read]
        self.assertEqual((kinds.count("row"), kinds.count("pair"), kinds[-1]), (len(rows) + 1, 2 * len(rows), "memory"))
        second = next(r for r in read if r["kind"] == "pair" and r["pair"] == "2")
        self.assertEqual((second["first"], second["epk_seconds"], second["peer_seconds"], second["time_ratio"]),
                         ("peer", "3.0000", "2.0000", "1.5000"))

if __name__ == "__main__":
    unittest.main()
