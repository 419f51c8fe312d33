"""Corpus a: the real files of this machine, copied as plain files into a
tree that a pack can hold (at most 255 folders, GBK names of at most 255
bytes)."""

from __future__ import annotations

import heapq
import os
import shutil
from dataclasses import dataclass, field
from pathlib import Path

# A pack counts its folders in one byte.
MAX_PACK_FOLDERS = 255


def storable_name(name: str) -> bool:
    """Whether every tool under test can hold this name unchanged."""
    try:
        encoded = name.encode("gbk")
    except UnicodeEncodeError:
        return False
    return "\\" not in name and len(encoded) <= 255


@dataclass
class RealFolder:
    path: Path  # on disk
    target: Path  # relative to the corpus
    files: list[str] = field(default_factory=list)
    children: list["RealFolder"] = field(default_factory=list)
    parent: "RealFolder | None" = None
    subtree_files: int = 0


def scan_real_tree(source: Path, target: Path) -> tuple[RealFolder, int]:
    """The folders and regular files below `source` (links to files count as
    files) and how many entries were left out: links to folders, dangling
    links, special files and names a pack cannot hold."""
    skipped = 0
    top = RealFolder(source, target)
    pending = [top]
    while pending:
        folder = pending.pop()
        try:
            names = sorted(os.listdir(folder.path))
        except OSError:
            skipped += 1
            continue
        for name in names:
            path = folder.path / name
            if not storable_name(name):
                skipped += 1
            elif path.is_dir() and not path.is_symlink():
                child = RealFolder(path, folder.target / name, parent=folder)
                folder.children.append(child)
                pending.append(child)
            elif path.is_file():
                folder.files.append(name)
            else:
                skipped += 1
    return top, skipped


def count_subtree_files(folder: RealFolder) -> int:
    folder.subtree_files = len(folder.files) + sum(count_subtree_files(c) for c in folder.children)
    return folder.subtree_files


def choose_kept_folders(tops: list[RealFolder], budget: int) -> set[int]:
    """ids of the folders that stay folders: the tops, then, while the budget
    lasts, the child of a kept folder that holds the most files below it."""
    kept = {id(top) for top in tops}
    queue: list[tuple[int, str, int, RealFolder]] = []

    def offer(folder: RealFolder) -> None:
        for child in folder.children:
            if child.subtree_files:
                heapq.heappush(queue, (-child.subtree_files, str(child.target), id(child), child))

    for top in tops:
        offer(top)
    while queue and len(kept) < budget:
        _, _, ident, folder = heapq.heappop(queue)
        kept.add(ident)
        offer(folder)
    return kept


def copy_real_trees(sources: tuple[str, ...], target: Path, stride: int, folder_budget: int) -> int:
    """Copies the regular files below each source into target/<source name>
    as plain files; returns how many source entries were left out.

    A pack holds at most `folder_budget` folders, fewer than these trees
    have: the folders holding the most files stay folders, and the files of
    every other folder move up into the nearest kept one, the folders they
    came from joined to their name with "__". With a stride n > 1 only every
    n-th file (in sorted order) is kept.
    """
    tops = []
    skipped = 0
    for source in sources:
        top, left_out = scan_real_tree(Path(source), Path(Path(source).name))
        count_subtree_files(top)
        tops.append(top)
        skipped += left_out
    kept = choose_kept_folders(tops, folder_budget)

    seen = 0
    pending = list(reversed(tops))
    while pending:
        folder = pending.pop()
        home = folder
        while id(home) not in kept:
            home = home.parent
        prefix = "__".join(folder.target.relative_to(home.target).parts)
        for name in folder.files:
            seen += 1
            if (seen - 1) % stride:
                continue
            flat = f"{prefix}__{name}" if prefix else name
            destination = target / home.target / flat
            if len(flat.encode("gbk")) > 255 or destination.exists():
                skipped += 1
                continue
            destination.parent.mkdir(parents=True, exist_ok=True)
            try:
                shutil.copyfile(folder.path / name, destination)
            except OSError:
                skipped += 1
        pending.extend(reversed(folder.children))
    return skipped
