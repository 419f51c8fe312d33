"""What the benchmark runs: the commands, the comparisons between them with
their goals, and the corpora each comparison runs on, all as tables."""

from __future__ import annotations

import shlex
from dataclasses import dataclass, field
from pathlib import Path

from corpora import EDITOR_FOLDER

MODES = ("shm", "disk", "xfs")
# The modes a comparison runs in unless it names its own.
USUAL_MODES = ("shm", "disk")
# Below this many counted pairs a run is a trial of the harness, not a result.
MIN_PAIRS = 5

# Files every corpus's work folder holds before anything runs.
FIXTURES = {"small.txt": b"small\n", "pw.txt": "口令".encode()}
# The tree `epk sync` makes a pack hold: the corpus with one file changed,
# made by the runner in the work folder when a command names its change.
CHANGED_TREE = "changed-tree"


@dataclass(frozen=True)
class EditCheck:
    """What `epk list` of the edited pack must show, against the pristine
    pack's listing (paths with "/"; "{renamed}" is the name the editor's
    program reports)."""

    line_change: int = 0
    present: str | None = None
    absent: str | None = None
    changed: str | None = None  # the path's listed line differs from the pristine one


@dataclass(frozen=True)
class Command:
    key: str
    tool: str  # "epk", "peer" or "editor"
    template: str  # words; {epk} {gui} {work} {corpus} {dest} {sync} are filled in
    output: str | None = None  # the file in the work folder it writes, removed before every run
    reads: tuple[str, ...] = ()  # files in the work folder that other commands make
    restores: tuple[str, str] | None = None  # (pristine, working copy) copied before every run
    replaces: str | None = None  # a file it writes over, copied from the pristine pack before every run
    extracts: bool = False  # fills {dest}, which must then equal the corpus (or its extracted_folder)
    extracted_folder: str = ""  # with extracts: the folder of the corpus that {dest} must equal
    lists: str | None = None  # "epk" or "tar": prints one line per entry
    same_as: str | None = None  # its output must equal this file of the work folder
    shows_folder: bool = False  # the editor's list shows EDITOR_FOLDER ("rows" counts its files)
    edit: EditCheck | None = None
    reported: str | None = None  # the time is the program's own line of this name, not its run time
    memory_goal: bool = False
    coded: str = ""  # for the memory goal: "" no file coded, "all" every file, else the one corpus path
    changes: str | None = None  # the corpus file that {work}/changed-tree has changed (a line more)
    mounts: tuple[str, str] | None = None  # (program, archive of the work folder) mounted at {mnt} while it runs

    @property
    def protected(self) -> bool:
        return "--password-file" in self.template

    @property
    def needs(self) -> tuple[str, ...]:
        return self.reads + ((self.restores[0],) if self.restores else ())

    @property
    def writes(self) -> tuple[str, ...]:
        made = (self.output, self.restores and self.restores[1], self.replaces)
        return tuple(name for name in made if name)

    @property
    def uses_corpus(self) -> bool:
        return "{corpus}" in self.template or self.extracts or self.shows_folder or bool(self.changes)

    def shown(self) -> str:
        """The command as the table shows it: files of the work folder by
        their names, the corpus as DIR, a destination as OUT."""
        text = self.template.replace("{work}/", "").replace("{epk}", "epk").replace("{gui}", "tarvex-gui-bench")
        text = text.replace("{corpus}", "DIR").replace("{dest}", "OUT").replace("{sync}", "")
        text = text.replace("{bench}/", "bench/").replace("{mnt}", "MOUNT")
        return " ".join(text.split())

    def argv(self, places: dict[str, str]) -> list[str]:
        words = (word.format(**places) for word in self.template.split())
        return [word for word in words if word]


def epk(key: str, template: str, **fields) -> Command:
    return Command(key, "epk", template, memory_goal=True, **fields)


def peer(key: str, template: str, **fields) -> Command:
    return Command(key, "peer", template, **fields)


def editor(key: str, template: str, **fields) -> Command:
    return Command(key, "editor", template, **fields)


def epk_creates() -> list[Command]:
    made = [epk("epk create none", "{epk} create {work}/none.epk {corpus} --scheme none", output="none.epk"),
            epk("epk create none, password",
                "{epk} create {work}/none-pw.epk {corpus} --scheme none --password-file {work}/pw.txt",
                output="none-pw.epk")]
    for name, scheme in (("lz", "lz"), ("zstd-fast", "zstd-fast.edl"), ("zstd-strong", "zstd-strong.edl")):
        made.append(epk(f"epk create {name}", f"{{epk}} create {{work}}/{name}.epk {{corpus}} --scheme {scheme}",
                        output=f"{name}.epk", coded="all"))
    made.append(epk("epk create zstd-strong, 1 core",
                    "taskset -c 0 {epk} create {work}/zstd-strong-1.epk {corpus} --scheme zstd-strong.edl",
                    output="zstd-strong-1.epk", same_as="zstd-strong.epk", coded="all"))
    return made


def extracts_and_lists() -> list[Command]:
    made = [epk("epk list", "{epk} list {work}/none.epk", reads=("none.epk",), lists="epk"),
            peer("tar list", "tar -tf {work}/peer.tar", reads=("peer.tar",), lists="tar")]
    for name in ("none", "lz", "zstd-fast"):
        made.append(epk(f"epk extract {name}", f"{{epk}} extract {{work}}/{name}.epk {{dest}}",
                        reads=(f"{name}.epk",), extracts=True, coded="" if name == "none" else "all"))
    for name, option, archive in (("tar", "", "peer.tar"), ("tar lzop", "--lzop ", "peer.tar.lzo"),
                                  ("tar zstd", "--zstd ", "peer.tar.zst")):
        made.append(peer(f"{name} create", f"tar {option}-cf {{work}}/{archive} -C {{corpus}} .", output=archive))
        made.append(peer(f"{name} extract", f"tar {option}-xf {{work}}/{archive} -C {{dest}}", reads=(archive,),
                         extracts=True))
    return made


# The edits on corpus d: (command, its arguments after the pack, what the
# edited pack then lists, the file it codes).
EDITS = (
    ("add", "{work}/small.txt", EditCheck(1, present="small.txt"), ""),
    ("rm", "maps/map01.bin", EditCheck(-1, absent="maps/map01.bin"), ""),
    ("mv", "maps/map02.bin sounds", EditCheck(present="sounds/map02.bin", absent="maps/map02.bin"), ""),
    ("rename", "maps/map03.bin map03-renamed.bin",
     EditCheck(present="maps/map03-renamed.bin", absent="maps/map03.bin"), ""),
    ("scheme", "maps/map04.bin lz", EditCheck(changed="maps/map04.bin"), "maps/map04.bin"),
)
# The file sync finds changed in its tree; the rest of the tree is the corpus.
SYNC_CHANGE = "maps/map05.bin"
# A pack's two forms for the edits: (key suffix, pristine pack, extra words).
PACK_FORMS = (("", "none.epk", ""), (", password", "none-pw.epk", " --password-file {work}/pw.txt"))


def edit_commands() -> list[Command]:
    """Each edit works on a fresh copy of the pristine pack; the peer copies
    such a fresh copy too, so that both read a pack in the same state of the
    page cache (a pack read in every round is cheaper to read than one just
    written). The peer's copy goes over another copy of the pack, as an edit
    replaces its pack: both then free the old pack's space in the timed part."""
    made = []
    for suffix, pristine, extra in PACK_FORMS:
        made.append(peer(f"cp pack{suffix}", "cp {work}/fresh.epk {work}/copy.epk", restores=(pristine, "fresh.epk"),
                         replaces="copy.epk"))
        made.append(peer(f"cp --reflink pack{suffix}", "cp --reflink=always {work}/fresh.epk {work}/copy.epk",
                         restores=(pristine, "fresh.epk"), replaces="copy.epk"))
        for name, arguments, check, coded in EDITS:
            made.append(epk(f"epk {name}{suffix}", f"{{epk}} {name} {{work}}/edit.epk {arguments}{extra}",
                            restores=(pristine, "edit.epk"), edit=check, coded=coded))
        made.append(epk(f"epk sync{suffix}", f"{{epk}} sync {{work}}/edit.epk {{work}}/{CHANGED_TREE}{extra}",
                        restores=(pristine, "edit.epk"), edit=EditCheck(changed=SYNC_CHANGE), changes=SYNC_CHANGE))
    return made


# How the editor's program shows the progress of a save or an extraction,
# nowhere or in the real progress window: (key suffix, its option, the pack
# copy its save edits).
PROGRESS_FORMS = ((", no progress window", "", "edit.epk"), (", progress window", " --progress-window", "edit-2.epk"))


def editor_commands() -> list[Command]:
    made = [
        editor("editor open", f"{{gui}} {{work}}/none.epk {EDITOR_FOLDER}", reads=("none.epk",), shows_folder=True,
               reported="open_s"),
        editor("editor show", f"{{gui}} {{work}}/none.epk {EDITOR_FOLDER}", reads=("none.epk",), shows_folder=True,
               reported="show_s"),
        editor("editor save", "{gui} --save-after-edit {work}/edit.epk {sync}", restores=("none.epk", "edit.epk"),
               edit=EditCheck(present="{renamed}"), reported="save_s", memory_goal=True),
        editor("editor paste", f"{{gui}} --paste {{work}}/none.epk {EDITOR_FOLDER}", reads=("none.epk",),
               shows_folder=True, reported="paste_s"),
    ]
    for suffix, option, copy in PROGRESS_FORMS:
        made.append(editor(f"editor save{suffix}", f"{{gui}} --save-after-edit {{work}}/{copy} {{sync}}{option}",
                           restores=("none.epk", copy), edit=EditCheck(present=f"{EDITOR_FOLDER}/{{renamed}}"),
                           reported="save_s"))
        made.append(editor(f"editor extract{suffix}",
                           f"{{gui}} --extract {{work}}/none.epk {EDITOR_FOLDER} {{dest}} {{sync}}{option}",
                           reads=("none.epk",), extracts=True, extracted_folder=EDITOR_FOLDER, reported="extract_s"))
    return made


def mount_commands() -> list[Command]:
    """A tree read whole through a mount of its pack, through squashfuse of
    a squashfs image of it (LZO), and on tmpfs as it was extracted."""
    read = "{bench}/readtree {mnt}"
    return [
        Command("epk mount read", "epk", read, reads=("lz.epk",), mounts=("epk", "lz.epk")),
        peer("squashfs create", "mksquashfs {corpus} {work}/peer.sqfs -comp lzo -quiet -no-progress",
             output="peer.sqfs"),
        peer("squashfuse read", read, reads=("peer.sqfs",), mounts=("squashfuse", "peer.sqfs")),
        peer("tmpfs read", "{bench}/readtree {corpus}"),
    ]


COMMANDS = {c.key: c for c in
            epk_creates() + extracts_and_lists() + edit_commands() + editor_commands() + mount_commands()}


@dataclass(frozen=True)
class Comparison:
    label: str
    epk: str  # key of the command measured
    peer: str  # key of the command it is measured against
    corpora: str  # where it runs
    limits: dict[str, float] = field(default_factory=dict)  # the goal's bound on the ratio, per corpus
    metric: str = "time"  # "time": median pair ratio <= limit; "size": output size ratio < limit
    per_core: bool = False  # the limit is divided by the number of cores
    seconds: dict[str, float] = field(default_factory=dict)  # a bound on epk's median seconds (below it), per corpus
    modes: tuple[str, ...] = USUAL_MODES

    def limit(self, corpus: str, cores: int) -> float | None:
        bound = self.limits.get(corpus)
        if bound is None or not self.per_core:
            return bound
        return bound / cores

    def commands(self) -> tuple[Command, Command]:
        return COMMANDS[self.epk], COMMANDS[self.peer]


def _limits(corpora: str, bound: float) -> dict[str, float]:
    return dict.fromkeys(corpora, bound)


def edit_comparisons() -> list[Comparison]:
    made = []
    for suffix, _, _ in PACK_FORMS:
        for name, *_ in EDITS:
            made.append(Comparison(f"edit: {name}{suffix}", f"epk {name}{suffix}", f"cp pack{suffix}", "d",
                                   _limits("d", 1.0)))
        made.append(Comparison(f"edit: sync, one file changed{suffix}", f"epk sync{suffix}", f"cp pack{suffix}", "d",
                               _limits("d", 1.0)))
        if not suffix:
            made.append(Comparison("edit: editor save", "editor save", "cp pack", "d", _limits("d", 1.0)))
    # On a file system that shares blocks, against a copy that shares them
    # all: adding a file to a folder that exists shares all but the end.
    for suffix, _, _ in PACK_FORMS:
        for name, *_ in EDITS:
            goal = _limits("d", 4.0) if name == "add" and not suffix else {}
            made.append(Comparison(f"shared edit: {name}{suffix}", f"epk {name}{suffix}", f"cp --reflink pack{suffix}",
                                   "d", goal, modes=("xfs",)))
    return made


# In running order: an archive is made before it is read.
COMPARISONS = (
    Comparison("store: create", "epk create none", "tar create", "abcsd", _limits("sc", 0.8)),
    Comparison("lz: create", "epk create lz", "tar lzop create", "abcs", _limits("abc", 0.6)),
    Comparison("zstd-fast: create", "epk create zstd-fast", "tar zstd create", "abcs", _limits("cs", 1.0)),
    Comparison("zstd-strong: all cores / 1", "epk create zstd-strong", "epk create zstd-strong, 1 core", "s",
               _limits("s", 1.3), per_core=True),
    Comparison("store: extract", "epk extract none", "tar extract", "abcsd",
               {**_limits("sc", 0.8), **_limits("ab", 1.0)}),
    Comparison("list", "epk list", "tar list", "abcs", _limits("sc", 0.3)),
    Comparison("lz: extract", "epk extract lz", "tar lzop extract", "abcs", _limits("abc", 1.0)),
    Comparison("zstd-fast: extract", "epk extract zstd-fast", "tar zstd extract", "abcs"),
    Comparison("zstd-fast size / lz", "epk create zstd-fast", "epk create lz", "a", _limits("a", 1.0), metric="size"),
    Comparison("zstd-strong size / lz", "epk create zstd-strong", "epk create lz", "a", _limits("a", 1.0),
               metric="size"),
    *edit_comparisons(),
    Comparison("editor: open / list", "editor open", "epk list", "g", _limits("g", 1.0)),
    Comparison("editor: show folder / list", "editor show", "epk list", "g", _limits("g", 1.0)),
    Comparison("editor: save, window / none", "editor save, progress window",
               "editor save, no progress window", "g", _limits("g", 1.1)),
    Comparison("editor: extract, window / none", "editor extract, progress window",
               "editor extract, no progress window", "g", _limits("g", 1.1)),
    Comparison("editor: paste / show folder", "editor paste", "editor show", "g",
               seconds={"g": 0.5}),
    Comparison("lz size / squashfs lzo", "epk create lz", "squashfs create", "a", metric="size", modes=("shm",)),
    Comparison("mount: read tree / squashfuse", "epk mount read", "squashfuse read", "a", _limits("a", 0.5),
               modes=("shm",)),
    Comparison("mount: read tree / tmpfs", "epk mount read", "tmpfs read", "a", _limits("a", 2.0), modes=("shm",)),
)


def comparisons_for(corpus: str, label_filters: tuple[str, ...] = (), mode: str | None = None) -> list[Comparison]:
    """The comparisons that run on the corpus (in the mode, if given), in
    order; with filters only those whose label holds one of them."""
    return [c for c in COMPARISONS
            if corpus in c.corpora and (mode is None or mode in c.modes)
            and (not label_filters or any(f in c.label for f in label_filters))]


def producer(file_name: str) -> Command:
    """The command that makes a file other commands read."""
    return next(c for c in COMMANDS.values() if c.output == file_name and not c.same_as)


def still_needed(later: list[Comparison]) -> tuple[set[str], bool]:
    """What the comparisons still to run need: files of the work folder (a
    size comparison needs the outputs it compares), and whether their
    commands read the corpus themselves."""
    files: set[str] = set()
    corpus = False
    for comparison in later:
        for command in comparison.commands():
            files.update(command.needs)
            if command.changes:
                files.add(CHANGED_TREE)
            if comparison.metric == "size" and command.output:
                files.add(command.output)
            corpus = corpus or command.uses_corpus
    return files, corpus


def pair_order(number: int) -> tuple[str, str]:
    """Which side runs first in counted pair `number` (from 0): epk first,
    then the peer first, and so on."""
    return ("epk", "peer") if number % 2 == 0 else ("peer", "epk")


def timed_argv(command: Command, argv: list[str], mode: str) -> list[str]:
    """On a disk (disk and xfs modes) the time runs until the data is
    durable: the command ends with a sync inside the timed part. A program
    that reports its own time syncs itself (its {sync} word)."""
    if mode == "shm" or command.reported:
        return argv
    return ["sh", "-c", shlex.join(argv) + " && sync"]


def places(epk_program: Path, gui: Path | None, work: Path, corpus: Path, dest: Path, mode: str,
           mount_point: Path | None = None) -> dict[str, str]:
    return {"epk": str(epk_program), "gui": str(gui or "tarvex-gui-bench"), "work": str(work), "corpus": str(corpus),
            "dest": str(dest), "sync": "" if mode == "shm" else "--sync", "bench": str(Path(__file__).parent),
            "mnt": str(mount_point or "")}
