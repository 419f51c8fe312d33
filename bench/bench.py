"""Runs epk and the peer tools side by side on the corpora and reports
medians, ratios and goals. Started by bench/run, which builds epk first."""

from __future__ import annotations

import argparse
import datetime
import os
import platform
import shutil
import subprocess
import sys
from pathlib import Path

import corpora
from measure import Measurement, can_drop_caches, run_measured
from plan import COMPARISONS, EDITOR_COMPARISONS, EDITOR_PARTS, Job, corpus_jobs, editor_jobs, round_order
from report import MemoryGoal, Row, Side, format_report, write_csv

CORPUS_TITLES = {
    "a": "real files (a copy of /usr/include and /usr/share/doc, folded into 255 folders)",
    "b": "a few large files (text-like, binary-random, run-heavy)",
    "c": "many small files (1 to 4 KiB)",
    "g": f"the editor (offscreen) on a pack of tiny files; the folder shown is \"{corpora.EDITOR_FOLDER}\"",
}
PEER_PACKAGES = ("tar", "lzop", "zstd", "zip", "unzip")


def parse_args(argv: list[str]) -> argparse.Namespace:
    parser = argparse.ArgumentParser(prog="bench/run", description=__doc__)
    parser.add_argument("--epk", type=Path, required=True, help="the epk program to measure")
    parser.add_argument("--gui", type=Path, help="the editor's benchmark program (bench/gui); needed for corpus g")
    parser.add_argument("--rounds", type=int, default=3, help="counted rounds (default 3)")
    parser.add_argument("--quick", action="store_true", help="small corpora, to check the harness itself")
    parser.add_argument("--only", default="abcg", help="corpora to run: any of a, b, c, g (default all)")
    parser.add_argument("--dir", type=Path, default=Path(os.environ.get("BENCH_DIR", "/tmp/tarvex-bench")),
                        help="work folder for corpora, archives and results (default $BENCH_DIR or /tmp/tarvex-bench)")
    parser.add_argument("--csv", type=Path, help="where to write the CSV (default: in the work folder's results/)")
    parser.add_argument("--cold", action="store_true",
                        help="drop the page cache before every command (needs a writable /proc/sys/vm/drop_caches;"
                             " it slows down everything else on the machine)")
    args = parser.parse_args(argv)
    chosen = "".join(ch for ch in args.only if ch not in ", ")
    if not chosen or any(ch not in "abcg" for ch in chosen):
        parser.error("--only takes a, b, c and/or g, e.g. --only a or --only a,c")
    args.only = "".join(sorted(set(chosen)))
    if "g" in args.only and not args.gui:
        parser.error("corpus g times the editor: give its benchmark program with --gui")
    if args.rounds < 1:
        parser.error("--rounds must be at least 1")
    if args.cold and not can_drop_caches():
        parser.error("--cold: the page cache cannot be dropped here (/proc/sys/vm/drop_caches is not writable)")
    return args


def command_output(argv: list[str]) -> str:
    try:
        return subprocess.run(argv, capture_output=True, text=True, check=False).stdout.strip()
    except OSError:
        return ""


def machine_description(work: Path) -> str:
    cores = len(os.sched_getaffinity(0))
    model = ""
    memory_kib = 0
    for line in Path("/proc/cpuinfo").read_text().splitlines():
        if line.startswith("model name"):
            model = line.split(":", 1)[1].strip()
            break
    for line in Path("/proc/meminfo").read_text().splitlines():
        if line.startswith("MemTotal:"):
            memory_kib = int(line.split()[1])
    df = command_output(["df", "-h", "--output=source,fstype,size,avail", str(work)]).splitlines()
    disk = "unknown"
    if len(df) == 2:
        source, fstype, size, avail = df[1].split()
        kind = ""
        rotational = Path("/sys/block", Path(source).name, "queue/rotational")
        if rotational.exists():
            kind = ", reported rotating" if rotational.read_text().strip() == "1" else ", solid-state"
        disk = f"{source} ({fstype}{kind}, {size}, {avail} free)"
    load = ", ".join(f"{x:.2f}" for x in os.getloadavg())
    return (f"{cores} cores ({model}), {memory_kib / 1024 / 1024:.1f} GiB memory, disk {disk}; "
            f"Linux {platform.release()}; load average at start {load}")


def peer_versions() -> str:
    versions = []
    for package in PEER_PACKAGES:
        version = command_output(["dpkg-query", "-W", "-f=${Version}", package])
        versions.append(f"{package} {version or '?'}")
    return ", ".join(versions)


def human_size(count: int) -> str:
    for unit, size in (("GiB", 1 << 30), ("MiB", 1 << 20), ("KiB", 1 << 10)):
        if count >= size:
            return f"{count / size:,.1f} {unit}"
    return f"{count} bytes"


def remove(path: Path) -> None:
    if path.is_dir() and not path.is_symlink():
        shutil.rmtree(path)
    elif path.exists() or path.is_symlink():
        path.unlink()


def editor_report(log_stem: Path) -> dict[str, float]:
    """The "name value" lines the editor's benchmark program prints."""
    report = {}
    for line in log_stem.with_suffix(".out").read_text(errors="replace").splitlines():
        name, _, value = line.partition(" ")
        try:
            report[name] = float(value)
        except ValueError:
            pass
    return report


def check_output(job: Job, corpus: Path, stats: corpora.CorpusStats, log_stem: Path) -> str | None:
    """What is wrong with a command's output, checked in the warm-up round."""
    if job.destination:
        diff = subprocess.run(["diff", "-r", "-q", str(corpus), str(job.destination)], capture_output=True,
                              text=True, check=False)
        if diff.returncode != 0:
            first = (diff.stdout or diff.stderr).splitlines()[:3]
            return "extracted files differ from the corpus: " + "; ".join(first)
    if job.phase == "list":
        lines = log_stem.with_suffix(".out").read_bytes().count(b"\n")
        # tar lists every folder and "./" too.
        expected = stats.files if job.tool == "epk" else stats.files + stats.folders + 1
        if lines != expected:
            return f"listed {lines} lines, expected {expected}"
    if job.tool == "editor":
        shown = sum(1 for _ in (corpus / corpora.EDITOR_FOLDER).iterdir())
        rows = editor_report(log_stem).get("rows")
        if rows != shown:
            return f"the list showed {'no' if rows is None else f'{rows:g}'} rows, expected {shown}"
    return None


class Runner:
    def __init__(self, args: argparse.Namespace, base: Path):
        self.args = args
        self.base = base
        self.logs = base / "logs"
        self.logs.mkdir(parents=True, exist_ok=True)
        self.runs: dict[tuple[str, str], list[Measurement]] = {}
        self.sizes: dict[tuple[str, str], int] = {}
        self.problems: dict[tuple[str, str], str] = {}

    def run_round(self, number: int, corpus_name: str, corpus: Path, stats: corpora.CorpusStats,
                  jobs: list[Job]) -> None:
        counted = number > 0
        title = f"round {number}/{self.args.rounds}" if counted else "warm-up and check"
        failed_creates: set[str] = set()
        read = {job.reads for job in jobs}
        for job in round_order(jobs, number):
            key = (corpus_name, job.key)
            if not counted and job.output and job.key not in read:
                # Nothing checks or reads this archive, and the other
                # commands have already brought the corpus into the cache.
                continue
            if job.reads in failed_creates:
                self.problems.setdefault(key, f"not run: {job.reads} failed")
                continue
            if job.output:
                remove(job.output)
            if job.destination:
                remove(job.destination)
                job.destination.mkdir(parents=True)
            log_stem = self.logs / f"{corpus_name}-{job.key.replace(' ', '_')}"
            measurement = run_measured(list(job.argv), job.cwd, log_stem, self.args.cold)
            problem = None
            if not measurement.ok:
                problem = f"exit status {measurement.exit_status}, see {log_stem}.err"
            elif not counted:
                problem = check_output(job, corpus, stats, log_stem)
            if problem:
                self.problems.setdefault(key, problem)
                if job.output:
                    failed_creates.add(job.key)
            if counted:
                self.runs.setdefault(key, []).append(measurement)
                if job.tool == "editor" and measurement.ok:
                    self.keep_editor_parts(corpus_name, log_stem, measurement)
            if job.output and job.output.exists():
                self.sizes[key] = job.output.stat().st_size
            if job.destination:
                remove(job.destination)
            status = f"  FAILED ({problem})" if problem else ""
            print(f"[{title}] {corpus_name}  {job.label:<34} {measurement.seconds:8.3f} s "
                  f"{measurement.peak_kib / 1024:8.1f} MiB{status}", flush=True)

    def keep_editor_parts(self, corpus_name: str, log_stem: Path, run: Measurement) -> None:
        """The editor's own times of each part, as runs of their own."""
        report = editor_report(log_stem)
        for part, _ in EDITOR_PARTS:
            seconds = report.get(f"{part}_s")
            if seconds is not None:
                self.runs.setdefault((corpus_name, f"editor {part}"), []).append(
                    Measurement(seconds, run.peak_kib, run.user_seconds, run.system_seconds, 0))

    def side(self, corpus_name: str, job: Job) -> Side:
        key = (corpus_name, job.key)
        return Side.of(job, self.runs.get(key, []), self.sizes.get(key), key in self.problems)


def main(argv: list[str]) -> int:
    args = parse_args(argv)
    base = args.dir / ("quick" if args.quick else "full")
    base.mkdir(parents=True, exist_ok=True)
    epk = args.epk.resolve()
    repository = Path(__file__).resolve().parent.parent
    version = command_output(["git", "-C", str(repository), "describe", "--tags", "--always", "--dirty"])
    started = datetime.datetime.now().astimezone()

    prepared = {}
    for name in args.only:
        spec = corpora.CorpusSpec(name, args.quick)
        root, stats = corpora.ensure_corpus(spec, base / "corpus", log=lambda text: print(text, flush=True))
        work = base / "out" / name
        shutil.rmtree(work, ignore_errors=True)
        work.mkdir(parents=True)
        if name == "g":
            jobs = editor_jobs(epk, args.gui.resolve(), root, work, corpora.EDITOR_FOLDER)
        else:
            jobs = corpus_jobs(epk, root, work)
        prepared[name] = (root, stats, jobs)

    runner = Runner(args, base)
    for number in range(args.rounds + 1):
        for name, (root, stats, jobs) in prepared.items():
            runner.run_round(number, name, root, stats, jobs)

    workers = len(os.sched_getaffinity(0))
    rows: dict[str, list[Row]] = {}
    memory: list[MemoryGoal] = []
    titles = {}
    for name, (root, stats, jobs) in prepared.items():
        by_key = {job.key: job for job in jobs}
        comparisons = EDITOR_COMPARISONS if name == "g" else COMPARISONS
        rows[name] = [Row(name, c, runner.side(name, by_key[c.epk]), runner.side(name, by_key[c.peer]))
                      for c in comparisons]
        memory.append(MemoryGoal(name, workers, stats.largest_bytes,
                                 [runner.side(name, job) for job in jobs if job.tool == "epk"]))
        skipped = f", {stats.skipped} source entries left out" if stats.skipped else ""
        titles[name] = (f"{CORPUS_TITLES[name]}: {stats.files:,} files in {stats.folders:,} folders, "
                        f"{human_size(stats.total_bytes)}, largest file {human_size(stats.largest_bytes)}{skipped}")

    cache = ("cold cache (page cache dropped before every command)" if args.cold
             else "warm cache (a warm-up round that is not counted comes first)")
    header = [
        ("date", started.strftime("%Y-%m-%d %H:%M %Z")),
        ("epk", f"{version or 'unknown version'} (git describe), Release build, {epk}"),
        ("machine", machine_description(base)),
        ("peers", peer_versions()),
        ("method", f"{args.rounds} round{'s' if args.rounds > 1 else ''}, medians; {cache}; the warm-up round "
                   f"also checks every output; sync before every command; workers = {workers} (cores)"),
        ("corpora", f"{'quick (small) versions' if args.quick else 'full size'} in {base / 'corpus'}"),
        ("notes", "epk create syncs its pack to the disk before renaming it into place (safe save); tar and zip "
                  "leave their output to the page cache. A pack holds at most 255 folders: corpus a keeps the "
                  "folders with the most files and moves the files of the others up, joining the folder names "
                  "to the file name with \"__\"."),
    ]
    text = format_report(header, rows, memory, titles)
    if runner.problems:
        text += "\nProblems\n" + "".join(f"{c}  {k}: {p}\n" for (c, k), p in sorted(runner.problems.items()))
    results = base.parent / "results"
    results.mkdir(parents=True, exist_ok=True)
    stamp = started.strftime("%Y%m%d-%H%M%S") + ("-quick" if args.quick else "")
    csv_path = args.csv or results / f"bench-{stamp}.csv"
    write_csv(csv_path, rows, memory)
    (results / f"bench-{stamp}.txt").write_text(text)
    print("\n" + text)
    print(f"Table: {results / f'bench-{stamp}.txt'}\nCSV:   {csv_path}")
    return 1 if runner.problems else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
