"""The checks of the warm-up pair: is what a command made what it should
be? Each returns what is wrong, or None."""

from __future__ import annotations

import filecmp
import subprocess
from pathlib import Path

from corpora import EDITOR_FOLDER, CorpusStats
from plan import EditCheck


def program_report(stem: Path) -> dict[str, str]:
    """The "name value" lines a program printed (the editor's program)."""
    out = stem.with_suffix(".out")
    if not out.exists():
        return {}
    report = {}
    for line in out.read_text(errors="replace").splitlines():
        name, _, value = line.partition(" ")
        if name and value:
            report.setdefault(name, value)
    return report


def same_tree(corpus: Path, destination: Path) -> str | None:
    diff = subprocess.run(["diff", "-r", "-q", str(corpus), str(destination)], capture_output=True, text=True,
                          check=False)
    if diff.returncode == 0:
        return None
    first = (diff.stdout or diff.stderr).splitlines()[:3]
    return "extracted files differ from the corpus: " + "; ".join(first)


def listing_lines(out: Path, lister: str, stats: CorpusStats) -> str | None:
    lines = out.read_bytes().count(b"\n")
    # tar lists every folder and "./" too.
    expected = stats.files if lister == "epk" else stats.files + stats.folders + 1
    return None if lines == expected else f"listed {lines} lines, expected {expected}"


def same_file(made: Path, expected: Path) -> str | None:
    if not made.exists() or not expected.exists():
        return f"{made.name} or {expected.name} is missing"
    return None if filecmp.cmp(made, expected, shallow=False) else f"{made.name} differs from {expected.name}"


def shown_rows(report: dict[str, str], corpus: Path) -> str | None:
    shown = sum(1 for _ in (corpus / EDITOR_FOLDER).iterdir())
    rows = report.get("rows")
    return None if rows == str(shown) else f"the list showed {rows or 'no'} rows, expected {shown}"


def parse_listing(text: str) -> dict[str, str]:
    """Path (with "/") -> the whole line, from `epk list`."""
    return {line.split("\t", 1)[0].replace("\\", "/"): line for line in text.splitlines() if line}


def pack_listing(epk: Path, pack: Path, protected: bool, work: Path) -> dict[str, str] | None:
    argv = [str(epk), "list", str(pack)] + (["--password-file", str(work / "pw.txt")] if protected else [])
    listed = subprocess.run(argv, capture_output=True, text=True, check=False, stdin=subprocess.DEVNULL)
    return parse_listing(listed.stdout) if listed.returncode == 0 else None


def edited(check: EditCheck, pristine: dict[str, str] | None, edited_pack: dict[str, str] | None,
           report: dict[str, str]) -> str | None:
    """What the edited pack lists, against the pristine pack."""
    if pristine is None:
        return "the pristine pack does not list"
    if edited_pack is None:
        return "the edited pack does not list"
    if len(edited_pack) != len(pristine) + check.line_change:
        return f"the edited pack lists {len(edited_pack)} files, expected {len(pristine) + check.line_change}"
    present = check.present and check.present.format(renamed=report.get("renamed", "?"))
    if present and present not in edited_pack:
        return f"the edited pack does not list {present}"
    if check.absent and check.absent in edited_pack:
        return f"the edited pack still lists {check.absent}"
    if check.changed and edited_pack.get(check.changed) == pristine.get(check.changed):
        return f"the line of {check.changed} did not change"
    return None
