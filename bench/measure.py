"""Runs one command under /usr/bin/time -v and keeps what it measured. The
command runs under the reaper (bench/reaper.c), so that its time runs until
every process it started has ended."""

from __future__ import annotations

import os
import signal
import subprocess
import time
from dataclasses import dataclass
from pathlib import Path

TIME_PROGRAM = "/usr/bin/time"
DROP_CACHES = Path("/proc/sys/vm/drop_caches")


@dataclass
class Measurement:
    seconds: float  # wall time, measured around the command
    peak_kib: int  # largest resident set of the command or any child it waited for
    user_seconds: float
    system_seconds: float
    exit_status: int  # -N when a signal ended the command

    @property
    def ok(self) -> bool:
        return self.exit_status == 0


def parse_time_report(text: str) -> dict[str, float | int]:
    """The fields we use from the report of `time -v`."""
    fields: dict[str, float | int] = {}
    for line in text.splitlines():
        line = line.strip()
        key, _, value = line.rpartition(": ")
        if line.startswith("Command terminated by signal "):
            fields["signal"] = int(line.rsplit(" ", 1)[1])
        elif key == "Maximum resident set size (kbytes)":
            fields["peak_kib"] = int(value)
        elif key == "User time (seconds)":
            fields["user_seconds"] = float(value)
        elif key == "System time (seconds)":
            fields["system_seconds"] = float(value)
        elif key == "Exit status":
            fields["exit_status"] = int(value)
    return fields


def can_drop_caches() -> bool:
    return os.access(DROP_CACHES, os.W_OK)


def settle(drop_caches: bool) -> None:
    """Writes back what earlier commands left dirty, so that no command pays
    for another's writes; drops the page cache too when asked."""
    os.sync()
    if drop_caches:
        DROP_CACHES.write_text("3\n")


def run_measured(argv: list[str], cwd: Path, log_stem: Path, reaper: Path, drop_caches: bool = False) -> Measurement:
    """Runs `argv` in `cwd` under `reaper`; its output goes to log_stem.out
    and .err, the report of `time -v` to log_stem.time."""
    settle(drop_caches)
    report = log_stem.with_suffix(".time")
    with open(log_stem.with_suffix(".out"), "wb") as out, open(log_stem.with_suffix(".err"), "wb") as err:
        start = time.perf_counter()
        # A group of its own, so that an interrupted run takes the measured
        # command down with it, not only `time`.
        process = subprocess.Popen([TIME_PROGRAM, "-v", "-o", str(report), "--", str(reaper), *argv], cwd=cwd, stdout=out,
                                   stderr=err, start_new_session=True)
        try:
            returncode = process.wait()
        except BaseException:
            os.killpg(process.pid, signal.SIGKILL)
            process.wait()
            raise
        seconds = time.perf_counter() - start
    fields = parse_time_report(report.read_text(errors="replace")) if report.exists() else {}
    if "signal" in fields:
        status = -int(fields["signal"])
    else:
        status = int(fields.get("exit_status", returncode))
    return Measurement(seconds=seconds, peak_kib=int(fields.get("peak_kib", 0)),
                       user_seconds=float(fields.get("user_seconds", 0.0)),
                       system_seconds=float(fields.get("system_seconds", 0.0)), exit_status=status)
