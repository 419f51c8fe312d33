"""Runs the comparisons of one corpus in one mode: a warm-up pair that checks
every output, then the counted pairs, epk and peer taking turns to go first."""

from __future__ import annotations

import os
import shutil
import subprocess
import time
from dataclasses import dataclass, field
from pathlib import Path

import checks
from corpora import CorpusStats
from measure import Measurement, run_measured
from plan import CHANGED_TREE, FIXTURES, Command, Comparison, pair_order, places, producer, still_needed, timed_argv
from results import MIB, MemoryCheck, Pair, RowResult, memory_limit_mib
from xfsimage import used_bytes

# Three adds of one small file to folders that exist, on a file system that
# shares blocks, take less new room than this.
SHARED_ADDS_GOAL_MIB = 48
SHARED_ADD_FOLDERS = ("", "maps", "sounds")


# Where a virtual machine hands free memory back to its host (free page
# reporting, ballooning), the first touch of a page that was handed back costs
# a trip to the host: a 700 MB copy into such pages took 0.8 to 2.7 s here,
# against 0.4 to 0.7 s into pages freed a moment earlier. Which of the two an
# edit's new pack got depended on what the harness had freed just before (the
# peer's previous copy, the edit's restored pack), so cp got warm pages and
# epk cold ones. Before every edit and its peer, a scratch file the size of
# the restored pack is written and deleted on the memory file system, so that
# both tools draw their pages from memory freed just now.
# One per run, so that two runs (or the harness's tests) never share it.
SCRATCH = Path(f"/dev/shm/tarvex-bench-scratch-{os.getpid()}")


def free_warm_pages(size_of: Path) -> None:
    shutil.copyfile(size_of, SCRATCH)
    SCRATCH.unlink()


def remove(path: Path) -> None:
    if path.is_dir() and not path.is_symlink():
        shutil.rmtree(path)
    elif path.exists() or path.is_symlink():
        path.unlink()


def make_changed_tree(corpus: Path, tree: Path, changed: str) -> None:
    """The corpus as hard links to its files (copies where links cannot be
    made), but for `changed`: a copy of its own with a line more, so that
    the corpus itself never changes."""
    for folder, _, names in os.walk(corpus):
        relative = Path(folder).relative_to(corpus)
        (tree / relative).mkdir(parents=True, exist_ok=True)
        for name in names:
            source, target = Path(folder, name), tree / relative / name
            if (relative / name).as_posix() == changed:
                shutil.copyfile(source, target)
                with open(target, "ab") as out:
                    out.write(b"changed\n")
                continue
            try:
                os.link(source, target)
            except OSError:
                shutil.copyfile(source, target)


@dataclass
class Place:
    """Where one corpus runs in one mode. In shm mode the corpus is a copy
    of the kept one, made when first needed and removed when no comparison
    needs it any more."""

    name: str
    kept: Path  # the corpus on the work disk
    stats: CorpusStats
    work: Path
    copy: Path | None = None  # where the copy goes (shm mode)

    @property
    def corpus(self) -> Path:
        return self.copy or self.kept

    def ensure_corpus(self) -> None:
        if self.copy and not self.copy.exists():
            self.copy.parent.mkdir(parents=True, exist_ok=True)
            subprocess.run(["cp", "-a", str(self.kept), str(self.copy)], check=True)

    def drop_corpus(self) -> None:
        if self.copy:
            remove(self.copy)


@dataclass
class Runner:
    epk: Path
    gui: Path | None
    reaper: Path  # bench/reaper.c, built
    pairs: int
    workers: int
    logs: Path
    cold: bool = False
    log: object = print
    # Every peak of every run, by (mode, corpus, command key), for the memory goals.
    peaks: dict[tuple[str, str, str], list[int]] = field(default_factory=dict)
    problems: list[str] = field(default_factory=list)
    notes: list[str] = field(default_factory=list)  # results that are not ratios
    listings: dict[Path, dict[str, str]] = field(default_factory=dict)

    def run_corpus(self, mode: str, place: Place, comparisons: list[Comparison]) -> list[RowResult]:
        remove(place.work)
        place.work.mkdir(parents=True)
        for name, data in FIXTURES.items():
            (place.work / name).write_bytes(data)
        self.listings.clear()
        rows = []
        try:
            for number, comparison in enumerate(comparisons):
                rows.append(self.run_comparison(mode, place, comparison))
                self.clean_up(place, comparisons[number + 1:])
            if mode == "xfs" and place.name == "d":
                self.measure_shared_adds(place)
        finally:
            remove(place.work)
            place.drop_corpus()
        for row in rows:
            row.memory = self.memory_check(mode, place, row.comparison.commands()[0])
        return rows

    def clean_up(self, place: Place, later: list[Comparison]) -> None:
        """Removes what the comparisons still to run do not need, so that
        the big files of a corpus are never all there at once."""
        files, uses_corpus = still_needed(later)
        for path in place.work.iterdir():
            if path.name not in FIXTURES and path.name not in files:
                remove(path)
        missing = any(not (place.work / name).exists() for name in files)
        if not uses_corpus and not missing:
            place.drop_corpus()

    def run_comparison(self, mode: str, place: Place, comparison: Comparison) -> RowResult:
        epk_command, peer_command = comparison.commands()
        row = RowResult(mode, place.name, comparison, epk_command.shown(), peer_command.shown(),
                        comparison.limit(place.name, self.workers), comparison.seconds.get(place.name))
        sides = {"epk": epk_command, "peer": peer_command}
        if comparison.metric == "size":
            for command in sides.values():
                if not row.problem and not (place.work / command.output).exists():
                    row.problem = self.run_once(mode, place, command, comparison.label, "made")[1]
        else:
            for command in sides.values():
                if not row.problem:
                    row.problem = self.run_once(mode, place, command, comparison.label, "warm-up")[1]
            for number in range(self.pairs if not row.problem else 0):
                measured = {}
                for side in pair_order(number):
                    tag = f"pair {number + 1}/{self.pairs}"
                    measured[side], problem = self.run_once(mode, place, sides[side], comparison.label, tag,
                                                            check=False)
                    row.problem = row.problem or problem
                if row.problem:
                    break
                row.pairs.append(Pair(number, pair_order(number)[0] == "epk", measured["epk"], measured["peer"]))
        if all(c.output and not c.needs for c in sides.values()):
            row.epk_bytes, row.peer_bytes = (self.size_of(place.work / c.output) for c in sides.values())
        if row.problem:
            self.problems.append(f"{mode} {place.name}  {comparison.label}: {row.problem}")
        return row

    def measure_shared_adds(self, place: Place) -> None:
        """The room three adds of one small file take when the old pack's
        blocks are held by a second name, so that what was not shared shows."""
        pack, kept = place.work / "shared.epk", place.work / "shared-kept.epk"
        if not (place.work / "none.epk").exists():
            problem = self.run_once("xfs", place, producer("none.epk"), "shared adds", "makes none.epk")[1]
            if problem:
                self.problems.append(f"xfs d  shared adds: {problem}")
                return
        shutil.copyfile(place.work / "none.epk", pack)
        os.link(pack, kept)
        before = used_bytes(place.work)
        for folder in SHARED_ADD_FOLDERS:
            argv = [str(self.epk), "add", str(pack), str(place.work / "small.txt")] + (["--to", folder] if folder else [])
            if subprocess.run(argv, capture_output=True).returncode != 0:
                self.problems.append(f"xfs d  shared adds: {' '.join(argv)} failed")
                return
        added = used_bytes(place.work) - before
        remove(pack)
        remove(kept)
        result = "PASS" if added < SHARED_ADDS_GOAL_MIB * MIB else "FAIL"
        self.notes.append(f"xfs d  three adds of one small file to folders that exist: {added / MIB:.2f} MiB of new "
                          f"room (goal < {SHARED_ADDS_GOAL_MIB} MiB)  {result}")

    def mount(self, command: Command, work: Path, mount_point: Path) -> str | None:
        """Mounts the command's archive; what went wrong, if anything."""
        program, archive = command.mounts
        argv = [str(self.epk), "mount"] if program == "epk" else [program]
        mount_point.mkdir(exist_ok=True)
        done = subprocess.run(argv + [str(work / archive), str(mount_point)], capture_output=True, text=True)
        if done.returncode != 0 or not os.path.ismount(mount_point):
            return f"{program} could not mount {archive}: {done.stderr.strip()}"
        return None

    @staticmethod
    def unmount(mount_point: Path) -> None:
        for _ in range(100):
            if not os.path.ismount(mount_point):
                return
            subprocess.run(["fusermount3", "-u", str(mount_point)], capture_output=True)
            time.sleep(0.05)

    @staticmethod
    def size_of(path: Path) -> int | None:
        return path.stat().st_size if path.exists() else None

    def run_once(self, mode: str, place: Place, command: Command, label: str, tag: str,
                 check: bool = True) -> tuple[Measurement | None, str | None]:
        """Runs the command once, timed; returns what it measured and what
        went wrong (a failed run, or with `check` a wrong output)."""
        for name in command.needs:
            if not (place.work / name).exists():
                made, problem = self.run_once(mode, place, producer(name), label, f"makes {name}")
                if problem:
                    return None, f"{name} could not be made: {problem}"
        if command.uses_corpus:
            place.ensure_corpus()
        work = place.work
        if command.changes and not (work / CHANGED_TREE).exists():
            make_changed_tree(place.corpus, work / CHANGED_TREE, command.changes)
        destination = work / ("out-" + command.key.replace(" ", "-").replace(",", ""))
        for name in command.writes:
            remove(work / name)
        if command.restores:
            shutil.copyfile(work / command.restores[0], work / command.restores[1])
            if command.replaces:
                shutil.copyfile(work / command.restores[0], work / command.replaces)
            free_warm_pages(work / command.restores[0])
        if command.extracts:
            destination.mkdir()
        mount_point = work / ("mnt-" + command.key.replace(" ", "-")) if command.mounts else None
        if mount_point:
            problem = self.mount(command, work, mount_point)
            if problem:
                return None, problem
        argv = timed_argv(command, command.argv(places(self.epk, self.gui, work, place.corpus, destination, mode,
                                                       mount_point)), mode)
        stem = self.logs / f"{mode}-{place.name}-{command.key.replace(' ', '_').replace(',', '')}"
        try:
            measured = run_measured(argv, work, stem, self.reaper, self.cold)
        finally:
            if mount_point:
                self.unmount(mount_point)
        problem = None if measured.ok else f"{command.key}: exit status {measured.exit_status}, see {stem}.err"
        report = checks.program_report(stem)
        if not problem and command.reported:
            seconds = report.get(command.reported)
            try:
                measured.seconds = float(seconds)
            except (TypeError, ValueError):
                problem = f"{command.key}: printed no {command.reported} line, see {stem}.out"
        if not problem and check:
            wrong = self.check(place, command, destination, stem, report)
            problem = wrong and f"{command.key}: {wrong}"
        self.peaks.setdefault((mode, place.name, command.key), []).append(measured.peak_kib)
        remove(destination)
        status = f"  FAILED ({problem})" if problem else ""
        self.log(f"[{mode} {place.name}] {label:<28} {tag:<14} {command.tool:<6} {measured.seconds:8.3f} s "
                 f"{measured.peak_kib / 1024:8.1f} MiB{status}")
        return measured, problem

    def check(self, place: Place, command: Command, destination: Path, stem: Path,
              report: dict[str, str]) -> str | None:
        if command.extracts:
            return checks.same_tree(place.corpus / command.extracted_folder, destination)
        if command.lists:
            return checks.listing_lines(stem.with_suffix(".out"), command.lists, place.stats)
        if command.same_as:
            return checks.same_file(place.work / command.output, place.work / command.same_as)
        if command.shows_folder:
            return checks.shown_rows(report, place.corpus)
        if command.edit:
            pristine = self.listing(place.work / command.restores[0], command.protected, place.work)
            edited = checks.pack_listing(self.epk, place.work / command.restores[1], command.protected, place.work)
            return checks.edited(command.edit, pristine, edited, report)
        return None

    def listing(self, pack: Path, protected: bool, work: Path) -> dict[str, str] | None:
        """The pristine pack's listing, taken once."""
        if pack not in self.listings:
            self.listings[pack] = checks.pack_listing(self.epk, pack, protected, work)
        return self.listings[pack]

    def memory_check(self, mode: str, place: Place, command: Command) -> MemoryCheck | None:
        if not command.memory_goal:
            return None
        coded = None
        if command.coded == "all":
            coded = place.stats.largest_bytes
        elif command.coded:
            coded = (place.kept / command.coded).stat().st_size
        peaks = self.peaks.get((mode, place.name, command.key))
        return MemoryCheck(mode, place.name, command.shown(), max(peaks) if peaks else None,
                           memory_limit_mib(coded, self.workers))

    def memory_checks(self, mode: str, place: Place, commands: list[Command]) -> list[MemoryCheck]:
        """Every epk command that ran on the corpus, once each."""
        seen = {}
        for command in commands:
            if (mode, place.name, command.key) in self.peaks and command.key not in seen:
                seen[command.key] = self.memory_check(mode, place, command)
        return [check for check in seen.values() if check]


def shm_free_bytes() -> int:
    return shutil.disk_usage("/dev/shm").free


def stale_shm_folders(prefix: str) -> list[Path]:
    """Work folders on /dev/shm of earlier runs whose process has gone."""
    stale = []
    for path in Path("/dev/shm").glob(prefix + "*"):
        pid = path.name.removeprefix(prefix)
        if pid.isdigit() and not os.path.exists(f"/proc/{pid}"):
            stale.append(path)
    return stale
