"""Medians, ratios and goals of a benchmark run, as a text table and CSV."""

from __future__ import annotations

import csv
import statistics
import textwrap
from dataclasses import dataclass, field
from pathlib import Path

from measure import Measurement
from plan import Comparison, Job

MIB = 1024 * 1024
MEMORY_MARGIN_MIB = 64


@dataclass
class Side:
    """One command's results over the counted rounds."""

    command: str
    seconds: float | None = None  # median
    peak_mib: float | None = None  # median
    highest_peak_mib: float | None = None
    size_bytes: int | None = None
    failed: bool = False  # some round ended with an error or wrong output

    @staticmethod
    def of(job: Job, runs: list[Measurement], size: int | None, wrong_output: bool) -> "Side":
        side = Side(job.label, size_bytes=size, failed=wrong_output or not runs or any(not r.ok for r in runs))
        if runs:
            side.seconds = statistics.median(r.seconds for r in runs)
            side.peak_mib = statistics.median(r.peak_kib for r in runs) / 1024
            side.highest_peak_mib = max(r.peak_kib for r in runs) / 1024
        return side


def ratio(a: float | None, b: float | None) -> float | None:
    return a / b if a is not None and b not in (None, 0) else None


@dataclass
class Row:
    corpus: str
    comparison: Comparison
    epk: Side
    peer: Side

    @property
    def time_ratio(self) -> float | None:
        return ratio(self.epk.seconds, self.peer.seconds)

    @property
    def peak_ratio(self) -> float | None:
        return ratio(self.epk.peak_mib, self.peer.peak_mib)

    @property
    def size_ratio(self) -> float | None:
        return ratio(self.epk.size_bytes, self.peer.size_bytes)

    @property
    def limit(self) -> float | None:
        return self.comparison.goal_for(self.corpus)

    def limit_text(self) -> str:
        """The goal's bound on the ratio, e.g. "<= 0.60"; empty without a goal."""
        if self.limit is None:
            return ""
        return f"{'<=' if self.comparison.metric == 'time' else '<'} {self.limit:.2f}"

    def goal_text(self) -> str:
        return f"{self.comparison.metric} {self.limit_text()}" if self.limit is not None else ""

    def result(self) -> str:
        """PASS or FAIL against the goal; empty without a goal."""
        if self.limit is None:
            return ""
        if self.epk.failed or self.peer.failed:
            return "FAIL"
        measured = self.time_ratio if self.comparison.metric == "time" else self.size_ratio
        if measured is None:
            return "FAIL"
        passed = measured <= self.limit if self.comparison.metric == "time" else measured < self.limit
        return "PASS" if passed else "FAIL"


@dataclass
class MemoryGoal:
    """Every epk command's peak memory below (workers + 1) x largest file + 64 MiB."""

    corpus: str
    workers: int
    largest_bytes: int
    epk: list[Side] = field(default_factory=list)

    @property
    def limit_mib(self) -> float:
        return (self.workers + 1) * self.largest_bytes / MIB + MEMORY_MARGIN_MIB

    def highest(self) -> Side | None:
        measured = [s for s in self.epk if s.highest_peak_mib is not None]
        return max(measured, key=lambda s: s.highest_peak_mib) if measured else None

    def passed(self, side: Side) -> bool:
        return side.highest_peak_mib is not None and side.highest_peak_mib < self.limit_mib

    def result(self) -> str:
        return "PASS" if self.epk and all(self.passed(s) for s in self.epk) else "FAIL"


def format_seconds(value: float | None) -> str:
    if value is None:
        return "-"
    return f"{value:.3f}" if value < 1 else f"{value:.2f}"


def format_mib(value: float | None) -> str:
    if value is None:
        return "-"
    return f"{value:.2f}" if value < 10 else f"{value:.1f}"


def format_ratio(value: float | None) -> str:
    return "-" if value is None else f"{value:.2f}"


def format_size(value: int | None) -> str:
    return "-" if value is None else format_mib(value / MIB)


def side_mark(side: Side) -> str:
    return " (failed)" if side.failed else ""


def align(rows: list[list[str]], left_columns: int) -> list[str]:
    """Rows of cells as lines: the first `left_columns` left-aligned, the rest right-aligned."""
    widths = [max(len(row[i]) for row in rows) for i in range(len(rows[0]))]
    lines = []
    for row in rows:
        cells = [cell.ljust(w) if i < left_columns else cell.rjust(w) for i, (cell, w) in enumerate(zip(row, widths))]
        lines.append("  ".join(cells).rstrip())
    return lines


COLUMNS = ["comparison", "epk command", "peer command", "epk s", "peer s", "ratio", "epk MiB", "peer MiB", "ratio",
           "epk size", "peer size", "ratio", "goal", ""]


def comparison_lines(rows: list[Row]) -> list[str]:
    cells = [COLUMNS]
    for row in rows:
        cells.append([
            row.comparison.label,
            row.epk.command + side_mark(row.epk),
            row.peer.command + side_mark(row.peer),
            format_seconds(row.epk.seconds), format_seconds(row.peer.seconds), format_ratio(row.time_ratio),
            format_mib(row.epk.peak_mib), format_mib(row.peer.peak_mib), format_ratio(row.peak_ratio),
            format_size(row.epk.size_bytes), format_size(row.peer.size_bytes), format_ratio(row.size_ratio),
            row.goal_text(), row.result(),
        ])
    return align(cells, 3)


def goal_lines(rows: list[Row], memory: list[MemoryGoal]) -> list[str]:
    lines: list[tuple[str, list[str]]] = []
    for row in rows:
        if row.limit is None:
            continue
        if row.comparison.metric == "time":
            text, measured = "wall time", row.time_ratio
        else:
            text, measured = "output size", row.size_ratio
        lines.append((row.corpus, [row.corpus, f"{row.epk.command} / {row.peer.command}: {text}",
                                   format_ratio(measured), row.limit_text(), row.result()]))
    for goal in memory:
        top = goal.highest()
        text = f"peak memory of every epk command (highest: {top.command if top else '-'}), MiB"
        limit = f"< {format_mib(goal.limit_mib)}"
        lines.append((goal.corpus, [goal.corpus, text, format_mib(top.highest_peak_mib if top else None), limit,
                                    goal.result()]))
    lines.sort(key=lambda line: line[0])
    return align([["corpus", "goal", "measured", "limit", ""]] + [cells for _, cells in lines], 2)


def format_report(header: list[tuple[str, str]], corpora: dict[str, list[Row]], memory: list[MemoryGoal],
                  corpus_titles: dict[str, str]) -> str:
    """The whole table: header, one block of comparisons per corpus, the goals."""
    width = max(len(name) for name, _ in header)
    lines = ["Tarvex benchmark", ""]
    for name, value in header:
        wrapped = textwrap.wrap(value, 100) or [""]
        lines.append(f"{name.ljust(width)}  {wrapped[0]}")
        lines += [" " * (width + 2) + more for more in wrapped[1:]]
    lines += ["", "Times are medians in seconds, memory the median peak resident set in MiB, sizes in MiB;",
              "ratio = epk / peer (below 1: epk is faster, leaner or smaller)."]
    for corpus, rows in corpora.items():
        lines += ["", f"Corpus {corpus}: {corpus_titles[corpus]}"]
        lines += comparison_lines(rows)
    lines += ["", "Goals"]
    lines += goal_lines([r for rows in corpora.values() for r in rows], memory)
    return "\n".join(lines) + "\n"


CSV_FIELDS = ["corpus", "kind", "comparison", "epk_command", "peer_command", "epk_seconds", "peer_seconds",
              "time_ratio", "epk_peak_mib", "peer_peak_mib", "peak_ratio", "epk_bytes", "peer_bytes", "size_ratio",
              "goal", "result"]


def csv_number(value: float | int | None, digits: int = 4) -> str:
    if value is None:
        return ""
    return str(value) if isinstance(value, int) else f"{value:.{digits}f}"


def write_csv(path: Path, corpora: dict[str, list[Row]], memory: list[MemoryGoal]) -> None:
    """The same results as the table, one comparison or memory check a line."""
    with open(path, "w", newline="") as out:
        writer = csv.DictWriter(out, CSV_FIELDS)
        writer.writeheader()
        for corpus, rows in corpora.items():
            for row in rows:
                writer.writerow({
                    "corpus": corpus, "kind": "comparison", "comparison": row.comparison.label,
                    "epk_command": row.epk.command + side_mark(row.epk),
                    "peer_command": row.peer.command + side_mark(row.peer),
                    "epk_seconds": csv_number(row.epk.seconds), "peer_seconds": csv_number(row.peer.seconds),
                    "time_ratio": csv_number(row.time_ratio), "epk_peak_mib": csv_number(row.epk.peak_mib, 1),
                    "peer_peak_mib": csv_number(row.peer.peak_mib, 1), "peak_ratio": csv_number(row.peak_ratio),
                    "epk_bytes": csv_number(row.epk.size_bytes), "peer_bytes": csv_number(row.peer.size_bytes),
                    "size_ratio": csv_number(row.size_ratio), "goal": row.goal_text(), "result": row.result(),
                })
        for goal in memory:
            for side in goal.epk:
                writer.writerow({
                    "corpus": goal.corpus, "kind": "memory", "comparison": "peak memory",
                    "epk_command": side.command + side_mark(side),
                    "epk_peak_mib": csv_number(side.highest_peak_mib, 1),
                    "goal": f"peak < {goal.limit_mib:.1f} MiB",
                    "result": "PASS" if goal.passed(side) else "FAIL",
                })
