"""A file system that shares blocks between files, for the benchmark's xfs
mode: XFS with reflink in a loop image of the work folder, mounted while the
mode runs. Needs root and mkfs.xfs (package xfsprogs)."""

from __future__ import annotations

import contextlib
import os
import shutil
import subprocess
from pathlib import Path
from typing import Iterator

IMAGE_BYTES = 16 << 30  # sparse: only what is written takes room


def used_bytes(folder: Path) -> int:
    """Bytes in use on the file system of `folder`, once all is written."""
    os.sync()
    st = os.statvfs(folder)
    return (st.f_blocks - st.f_bfree) * st.f_frsize


@contextlib.contextmanager
def reflink_folder(base: Path) -> Iterator[tuple[Path | None, str]]:
    """Yields (the mounted folder, "") or (None, why it cannot be made); the
    image is unmounted and removed on the way out."""
    if os.geteuid() != 0:
        yield None, "only root can mount a loop image"
        return
    if not shutil.which("mkfs.xfs"):
        yield None, "mkfs.xfs is not installed (package xfsprogs)"
        return
    image, folder = base / "xfs.img", base / "xfs"
    subprocess.run(["umount", str(folder)], capture_output=True, check=False)  # left by an interrupted run
    image.unlink(missing_ok=True)
    with open(image, "wb") as out:
        out.truncate(IMAGE_BYTES)
    folder.mkdir(parents=True, exist_ok=True)
    made = subprocess.run(["mkfs.xfs", "-q", "-m", "reflink=1", str(image)], capture_output=True, text=True)
    mounted = made.returncode == 0 and subprocess.run(["mount", "-o", "loop", str(image), str(folder)],
                                                      capture_output=True, text=True).returncode == 0
    try:
        yield (folder, "") if mounted else (None, f"the loop image could not be made or mounted {made.stderr.strip()}")
    finally:
        if mounted:
            subprocess.run(["umount", str(folder)], check=False)
        image.unlink(missing_ok=True)
