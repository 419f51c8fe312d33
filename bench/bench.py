"""Runs epk and the peer tools pair by pair on the corpora and reports the
median, lowest and highest ratio of the pairs, with the goals. Started by
bench/run, which builds epk first."""

from __future__ import annotations

import argparse
import contextlib
import datetime
import os
import platform
import signal
import subprocess
import sys
from pathlib import Path

import corpora
from hostmemory import host_reporting_paused
from measure import can_drop_caches
from plan import COMMANDS, MIN_PAIRS, MODES, comparisons_for
from report import format_report, write_csv
from runner import Place, Runner, remove, shm_free_bytes, stale_shm_folders
from xfsimage import reflink_folder

CORPUS_TITLES = {
    "a": "real files (a copy of /usr/include and /usr/share/doc, folded into 255 folders)",
    "b": "a few large files (text-like, binary-random, run-heavy)",
    "c": "many small files (1 to 4 KiB, a quarter of them random bytes)",
    "s": "small text-like files (1 to 4 KiB)",
    "d": "a game's pack: one huge file of mixed bytes and two folders of equal files, packed with --scheme none",
    "g": f"the editor (offscreen) on a pack of tiny files; the folder shown is \"{corpora.EDITOR_FOLDER}\"",
}
PEER_PACKAGES = ("tar", "lzop", "zstd", "coreutils", "util-linux", "time", "squashfuse", "squashfs-tools")
SHM_PREFIX = "tarvex-bench-"
# Room a corpus needs on /dev/shm, in multiples of its size: its copy, two
# archives and an extracted tree, or a pack and its edited copies.
SHM_ROOM = 4
QUICK_PAIRS = 2


def parse_args(argv: list[str]) -> argparse.Namespace:
    parser = argparse.ArgumentParser(prog="bench/run", description=__doc__)
    parser.add_argument("--epk", type=Path, required=True, help="the epk program to measure")
    parser.add_argument("--reaper", type=Path, required=True,
                        help="bench/reaper.c built: every command is timed until all it started has ended")
    parser.add_argument("--gui", type=Path,
                        help="the editor's benchmark program (bench/gui); needed for corpora d and g")
    parser.add_argument("--pairs", type=int,
                        help=f"counted pairs per comparison (default {MIN_PAIRS}, at least {MIN_PAIRS}; "
                             f"with --quick default {QUICK_PAIRS}, at least 1)")
    parser.add_argument("--quick", action="store_true",
                        help="small corpora, to check the harness itself: the table is not a result")
    parser.add_argument("--only", default=corpora.NAMES,
                        help=f"corpora to run, any of {', '.join(corpora.NAMES)} (default all), e.g. --only s,d")
    parser.add_argument("--comparisons", default="",
                        help="only the comparisons whose label holds one of these comma-separated texts, "
                             "e.g. --comparisons create,edit")
    parser.add_argument("--mode", choices=("shm", "disk", "xfs", "both", "all"), default="all",
                        help="shm: everything on /dev/shm; disk: on the work disk, each timed command ending with "
                             "a sync; xfs: the edits on XFS with reflink in a loop image (needs root); both: shm and "
                             "disk; all: the three (default)")
    parser.add_argument("--dir", type=Path, default=Path(os.environ.get("BENCH_DIR", "/tmp/tarvex-bench")),
                        help="work folder for corpora, archives and results (default $BENCH_DIR or /tmp/tarvex-bench)")
    parser.add_argument("--csv", type=Path, help="where to write the CSV (default: in the work folder's results/)")
    parser.add_argument("--cold", action="store_true",
                        help="drop the page cache before every command (needs a writable /proc/sys/vm/drop_caches;"
                             " it slows down everything else on the machine)")
    args = parser.parse_args(argv)
    chosen = "".join(ch for ch in args.only if ch not in ", ")
    if not chosen or any(ch not in corpora.NAMES for ch in chosen):
        parser.error(f"--only takes corpus names ({', '.join(corpora.NAMES)}), e.g. --only a or --only s,d")
    args.only = "".join(name for name in corpora.NAMES if name in chosen)
    args.comparisons = tuple(text for text in args.comparisons.split(",") if text)
    args.modes = {"all": MODES, "both": ("shm", "disk")}.get(args.mode, (args.mode,))
    if any(name in args.only for name in "dg") and not args.gui:
        parser.error("corpora d and g time the editor: give its benchmark program with --gui")
    if args.pairs is None:
        args.pairs = QUICK_PAIRS if args.quick else MIN_PAIRS
    if args.pairs < (1 if args.quick else MIN_PAIRS):
        parser.error(f"--pairs must be at least {MIN_PAIRS} for a result (--quick takes fewer)")
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


def corpus_title(name: str, stats: corpora.CorpusStats) -> str:
    skipped = f", {stats.skipped} source entries left out" if stats.skipped else ""
    return (f"{CORPUS_TITLES[name]}: {stats.files:,} files in {stats.folders:,} folders, "
            f"{human_size(stats.total_bytes)}, largest file {human_size(stats.largest_bytes)}{skipped}")


def leave_on_terminate(*_) -> None:
    # The work folder on /dev/shm is removed on the way out.
    raise SystemExit(1)


def main(argv: list[str]) -> int:
    args = parse_args(argv)
    base = args.dir / ("quick" if args.quick else "full")
    base.mkdir(parents=True, exist_ok=True)
    epk = args.epk.resolve()
    repository = Path(__file__).resolve().parent.parent
    version = command_output(["git", "-C", str(repository), "describe", "--tags", "--always", "--dirty"])
    started = datetime.datetime.now().astimezone()
    workers = len(os.sched_getaffinity(0))

    prepared = {}
    for name in args.only:
        chosen = comparisons_for(name, args.comparisons)
        if chosen:
            root, stats = corpora.ensure_corpus(corpora.CorpusSpec(name, args.quick), base / "corpus",
                                                log=lambda text: print(text, flush=True))
            prepared[name] = (root, stats, chosen)
    if not prepared:
        print("nothing to run: no comparison of these corpora matches --comparisons", file=sys.stderr)
        return 2

    for stale in stale_shm_folders(SHM_PREFIX):
        remove(stale)
    shm = Path("/dev/shm") / f"{SHM_PREFIX}{os.getpid()}"
    signal.signal(signal.SIGTERM, leave_on_terminate)
    logs = base / "logs"
    logs.mkdir(parents=True, exist_ok=True)
    runner = Runner(epk, args.gui.resolve() if args.gui else None, args.reaper.resolve(), args.pairs, workers, logs,
                    args.cold,
                    log=lambda text: print(text, flush=True))
    blocks = {}
    memory = []
    with host_reporting_paused() as freed_memory:
        try:
            for mode in args.modes:
                runs = [(name, root, stats, [c for c in chosen if mode in c.modes])
                        for name, (root, stats, chosen) in prepared.items()]
                runs = [run for run in runs if run[3]]
                with reflink_folder(base) if mode == "xfs" and runs else contextlib.nullcontext((None, "")) as xfs:
                    for name, root, stats, in_mode in runs:
                        if mode == "shm":
                            if shm_free_bytes() < SHM_ROOM * stats.total_bytes:
                                runner.problems.append(f"shm {name}: not run, /dev/shm has less than "
                                                       f"{human_size(SHM_ROOM * stats.total_bytes)} free")
                                continue
                            place = Place(name, root, stats, shm / "out" / name, copy=shm / "corpus" / name)
                        elif mode == "xfs":
                            if not xfs[0]:
                                runner.problems.append(f"xfs {name}: not run, {xfs[1]}")
                                continue
                            place = Place(name, root, stats, xfs[0] / "out" / name)
                        else:
                            place = Place(name, root, stats, base / "out" / name)
                        blocks[(mode, name)] = runner.run_corpus(mode, place, in_mode)
                        memory += runner.memory_checks(mode, place, list(COMMANDS.values()))
        finally:
            remove(shm)

    warning = None
    if args.quick or args.pairs < MIN_PAIRS:
        warning = (f"NOT A RESULT: {'small corpora (--quick), ' if args.quick else ''}{args.pairs} "
                   f"pair{'s' if args.pairs > 1 else ''}; a result needs the full corpora and at least "
                   f"{MIN_PAIRS} pairs")
    cache = "page cache dropped before every command" if args.cold else "warm page cache"
    header = [
        ("date", started.strftime("%Y-%m-%d %H:%M %Z")),
        ("epk", f"{version or 'unknown version'} (git describe), Release build, {epk}"),
        ("machine", machine_description(base)),
        ("peers", peer_versions()),
        ("method", f"{args.pairs} pairs, median of pair ratios (min-max). epk and its peer run back to back, "
                   f"epk first in odd pairs and the peer first in even ones; a warm-up pair that is not counted "
                   f"comes first and checks every output (extracted trees against the corpus, listings, edited "
                   f"packs); sync before every timed command; an edit works on a fresh copy of the pristine pack, "
                   f"made before its timed part, and cp copies such a copy over another, as an edit replaces its "
                   f"pack; {cache}; workers = {workers} (cores)"),
        ("modes", ", ".join(args.modes) + (f"; comparisons matching {', '.join(args.comparisons)}"
                                           if args.comparisons else "")),
        ("freed memory", freed_memory),
        ("corpora", f"{'quick (small) versions' if args.quick else 'full size'} in {base / 'corpus'}"),
        ("memory goal", "peak <= 64 MiB for a command that codes no file (scheme none, the edits, list), else "
                        "<= 64 MiB + 2 x largest coded file x workers"),
    ]
    titles = {name: corpus_title(name, stats) for name, (_, stats, _) in prepared.items()}
    text = format_report(header, blocks, memory, titles, warning, runner.notes)
    if runner.problems:
        text += "\nProblems\n" + "".join(f"{problem}\n" for problem in runner.problems)
    results = args.dir / "results"
    results.mkdir(parents=True, exist_ok=True)
    stamp = started.strftime("%Y%m%d-%H%M%S") + ("-quick" if args.quick else "")
    csv_path = args.csv or results / f"bench-{stamp}.csv"
    write_csv(csv_path, [row for rows in blocks.values() for row in rows], memory)
    (results / f"bench-{stamp}.txt").write_text(text)
    print("\n" + text)
    print(f"Table: {results / f'bench-{stamp}.txt'}\nCSV:   {csv_path}")
    return 1 if runner.problems else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
