"""What one round runs on one corpus, and which results are compared."""

from __future__ import annotations

from dataclasses import dataclass
from pathlib import Path

PHASES = ("create", "list", "extract", "editor")


@dataclass(frozen=True)
class Job:
    key: str  # stable name, e.g. "epk create lz"
    tool: str  # "epk" or "peer"
    phase: str  # one of PHASES
    label: str  # the command as the table shows it
    argv: tuple[str, ...]
    cwd: Path
    output: Path | None = None  # the archive a create job writes
    destination: Path | None = None  # the folder an extract job fills
    reads: str | None = None  # key of the create job whose archive this job reads


@dataclass(frozen=True)
class Comparison:
    label: str
    epk: str  # key of the job measured
    peer: str  # key of the job it is measured against
    metric: str = "time"  # the goal's metric: "time" (ratio <= limit) or "size" (ratio < limit)
    limit: float | None = None  # no goal when None
    goal_corpora: str = "abc"  # the corpora the goal holds for; elsewhere the row is shown only

    def goal_for(self, corpus: str) -> float | None:
        return self.limit if corpus in self.goal_corpora else None


@dataclass(frozen=True)
class Command:
    phase: str
    label: str
    template: str  # words; {epk}, {archive}, {corpus} and {dest} are filled in
    in_corpus: bool = False  # run inside the corpus rather than the work folder


def epk_pack(scheme: str, listed: bool = False, extracted: bool = True) -> list[Command]:
    name = scheme.removesuffix(".edl")
    commands = [Command("create", f"epk create --scheme {scheme}",
                        f"{{epk}} create {{archive}} {{corpus}} --scheme {scheme}")]
    if listed:
        commands.append(Command("list", f"epk list ({name})", "{epk} list {archive}"))
    if extracted:
        commands.append(Command("extract", f"epk extract ({name})", "{epk} extract {archive} {dest}"))
    return commands


def tar(option: str = "", listed: bool = False) -> list[Command]:
    shown = f"tar {option} " if option else "tar "
    commands = [Command("create", shown + "-cf", f"tar {option} -cf {{archive}} -C {{corpus}} .")]
    if listed:
        commands.append(Command("list", "tar -tf", "tar -tf {archive}"))
    commands.append(Command("extract", shown + "-xf", f"tar {option} -xf {{archive}} -C {{dest}}"))
    return commands


# (name, tool, archive file, commands); a job's key is its name and phase.
ARCHIVES = (
    ("epk none", "epk", "epk-none.epk", epk_pack("none", listed=True)),
    ("epk lz", "epk", "epk-lz.epk", epk_pack("lz")),
    ("epk zstd-fast", "epk", "epk-zstd-fast.epk", epk_pack("zstd-fast.edl")),
    # Decodes like zstd-fast: made and measured, not read back.
    ("epk zstd-strong", "epk", "epk-zstd-strong.epk", epk_pack("zstd-strong.edl", extracted=False)),
    ("tar", "peer", "peer.tar", tar(listed=True)),
    ("tar lzop", "peer", "peer.tar.lzo", tar("--lzop")),
    ("tar zstd", "peer", "peer.tar.zst", tar("--zstd")),
    # zip stores the paths it is given: it runs inside the corpus.
    ("zip -0", "peer", "peer-0.zip", [Command("create", "zip -r -0", "zip -q -r -0 {archive} .", in_corpus=True),
                                      Command("extract", "unzip", "unzip -q {archive} -d {dest}")]),
    ("zip -1", "peer", "peer-1.zip", [Command("create", "zip -r -1", "zip -q -r -1 {archive} .", in_corpus=True)]),
)

COMPARISONS = (
    Comparison("store: create", "epk none create", "tar create", limit=1.0),
    Comparison("store: extract", "epk none extract", "tar extract", limit=1.0),
    Comparison("store: create vs zip", "epk none create", "zip -0 create"),
    Comparison("store: extract vs unzip", "epk none extract", "zip -0 extract"),
    Comparison("lz: create", "epk lz create", "tar lzop create", limit=0.6),
    Comparison("lz: extract", "epk lz extract", "tar lzop extract", limit=1.0),
    Comparison("lz: create vs zip -1", "epk lz create", "zip -1 create"),
    Comparison("zstd-fast: create", "epk zstd-fast create", "tar zstd create", limit=1.5),
    Comparison("zstd-fast: extract", "epk zstd-fast extract", "tar zstd extract"),
    Comparison("zstd-strong: create", "epk zstd-strong create", "tar zstd create"),
    Comparison("list", "epk none list", "tar list", limit=0.5, goal_corpora="c"),
    Comparison("zstd-fast size vs lz", "epk zstd-fast create", "epk lz create", metric="size", limit=1.0,
               goal_corpora="a"),
    Comparison("zstd-strong size vs lz", "epk zstd-strong create", "epk lz create", metric="size", limit=1.0,
               goal_corpora="a"),
)


# Corpus g: the editor, timed by the program bench/gui builds, against epk
# listing the same pack. The editor job prints the seconds of each part.
EDITOR_PARTS = (("open", "editor: open pack, paint"), ("show", "editor: show big folder, paint"))

EDITOR_COMPARISONS = (
    Comparison("editor: open vs list", "editor open", "epk none list", limit=1.0, goal_corpora="g"),
    Comparison("editor: show folder vs list", "editor show", "epk none list", limit=1.0, goal_corpora="g"),
)


def editor_jobs(epk: Path, editor: Path, corpus: Path, work: Path, folder: str) -> list[Job]:
    """Packs corpus g, lists the pack, and opens it in the editor, which
    then shows `folder`; one job per part of the editor's report follows
    (they run nothing: their times come from the editor job's output)."""
    archive = work / "editor.epk"
    create = f"{epk} create {archive} {corpus} --scheme none".split()
    jobs = [
        Job("epk none create", "epk", "create", "epk create --scheme none", tuple(create), work, output=archive),
        Job("epk none list", "epk", "list", "epk list", (str(epk), "list", str(archive)), work,
            reads="epk none create"),
        Job("editor", "editor", "editor", "tarvex-gui-bench", (str(editor), str(archive), folder), work,
            reads="epk none create"),
    ]
    jobs += [Job(f"editor {part}", "editor part", "editor", label, (), work) for part, label in EDITOR_PARTS]
    return jobs


def corpus_jobs(epk: Path, corpus: Path, work: Path) -> list[Job]:
    """Every command of one round on `corpus`; archives go to `work`."""
    jobs: list[Job] = []
    for name, tool, file_name, commands in ARCHIVES:
        archive = work / file_name
        destination = work / ("out-" + file_name.replace(".", "-"))
        places = {"epk": str(epk), "archive": str(archive), "corpus": str(corpus), "dest": str(destination)}
        for command in commands:
            argv = tuple(word.format(**places) for word in command.template.split())
            jobs.append(Job(f"{name} {command.phase}", tool, command.phase, command.label, argv,
                            corpus if command.in_corpus else work,
                            output=archive if command.phase == "create" else None,
                            destination=destination if command.phase == "extract" else None,
                            reads=f"{name} create" if command.phase != "create" else None))
    return jobs


def round_order(jobs: list[Job], round_number: int) -> list[Job]:
    """Phase by phase (an archive is made before it is read); within a phase
    the order flips every round, so neither side always runs first. Jobs
    without a command (the editor's parts) are not run."""
    ordered: list[Job] = []
    for phase in PHASES:
        in_phase = [job for job in jobs if job.phase == phase and job.argv]
        ordered.extend(reversed(in_phase) if round_number % 2 else in_phase)
    return ordered
