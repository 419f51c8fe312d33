"""The results as a text table (readable at 140 columns) and as CSV."""

from __future__ import annotations

import csv
import textwrap
from pathlib import Path

from results import MIB, MemoryCheck, RowResult, Spread

MODE_TITLES = {
    "shm": "corpora, archives and destinations on /dev/shm (tmpfs): the cost in CPU and system calls",
    "disk": "archives and destinations on the work disk, every timed command ending with a sync: "
            "the time until the data is durable",
    "xfs": "archives on XFS with reflink (a loop image on the work disk), every timed command ending with a "
           "sync: edits against a copy that shares every block",
}


def format_seconds(value: float | None) -> str:
    if value is None:
        return "-"
    return f"{value:.3f}" if value < 10 else f"{value:.1f}"


def format_mib(value: float | None) -> str:
    if value is None:
        return "-"
    return f"{value:.2f}" if value < 10 else f"{value:.1f}"


def format_ratio(value: float | None) -> str:
    return "-" if value is None else f"{value:.2f}"


def format_spread(spread: Spread | None) -> str:
    if spread is None:
        return "-"
    return f"{spread.median:.2f} ({spread.low:.2f}-{spread.high:.2f})"


def format_size(value: int | None) -> str:
    return "-" if value is None else format_mib(value / MIB)


def align(rows: list[list[str]], left_columns: int) -> list[str]:
    """Rows of cells as lines: the first `left_columns` left-aligned, the rest right-aligned."""
    widths = [max(len(row[i]) for row in rows) for i in range(len(rows[0]))]
    lines = []
    for row in rows:
        cells = [cell.ljust(w) if i < left_columns else cell.rjust(w) for i, (cell, w) in enumerate(zip(row, widths))]
        lines.append("  ".join(cells).rstrip())
    return lines


def memory_goal_text(check: MemoryCheck | None) -> tuple[str, str]:
    if check is None:
        return "", ""
    return f"<= {check.limit_mib:.0f}", check.result()


WIDTH = 140
INDENT = "      "


def joined(pieces: list[str]) -> list[str]:
    """Pieces joined by " | " on indented lines of at most WIDTH columns."""
    lines = [INDENT + pieces[0]]
    for piece in pieces[1:]:
        if len(lines[-1]) + 5 + len(piece) <= WIDTH:
            lines[-1] += "  |  " + piece
        else:
            lines.append(INDENT + piece)
    return lines


def detail_lines(row: RowResult) -> list[str]:
    """The commands under a row, with the archive sizes and any failure."""
    pieces = [row.epk_command, row.peer_command]
    if row.comparison.metric == "time" and row.epk_bytes is not None:
        pieces.append(f"sizes {format_size(row.epk_bytes)} / {format_size(row.peer_bytes)} MiB")
    lines = joined(pieces)
    if row.problem:
        lines.append(INDENT + "failed: " + textwrap.shorten(row.problem, WIDTH - 14, placeholder="..."))
    return lines


TIME_COLUMNS = ["comparison", "epk s", "peer s", "time ratio (min-max)", "epk MiB", "peer MiB",
                "MiB ratio (min-max)", "goal", "", "MiB goal", ""]
SIZE_COLUMNS = ["size comparison", "epk MiB", "peer MiB", "ratio", "goal", ""]


def with_details(cells: list[list[str]], rows: list[RowResult]) -> list[str]:
    lines = align(cells, 1)
    out = [lines[0]]
    for line, row in zip(lines[1:], rows):
        out += [line, *detail_lines(row)]
    return out


def block_lines(rows: list[RowResult]) -> list[str]:
    timed = [r for r in rows if r.comparison.metric == "time"]
    sized = [r for r in rows if r.comparison.metric == "size"]
    lines = []
    if timed:
        cells = [TIME_COLUMNS]
        for row in timed:
            cells.append([row.comparison.label, format_seconds(row.epk_seconds), format_seconds(row.peer_seconds),
                          format_spread(row.time_ratio), format_mib(row.epk_peak_mib), format_mib(row.peer_peak_mib),
                          format_spread(row.peak_ratio), row.limit_text(), row.result(),
                          *memory_goal_text(row.memory)])
        lines += with_details(cells, timed)
    if sized:
        cells = [SIZE_COLUMNS]
        for row in sized:
            cells.append([row.comparison.label, format_size(row.epk_bytes), format_size(row.peer_bytes),
                          format_ratio(row.size_ratio), row.limit_text(), row.result()])
        lines += [""] + with_details(cells, sized)
    return lines


def goal_lines(rows: list[RowResult]) -> list[str]:
    cells = [["mode", "corpus", "goal", "measured", "limit", ""]]
    for row in rows:
        if row.limit is not None:
            time = row.comparison.metric == "time"
            measured = format_spread(row.time_ratio) if time else format_ratio(row.size_ratio)
            cells.append([row.mode, row.corpus, f"{row.comparison.label}: {row.comparison.metric} epk / peer", measured,
                          row.ratio_limit_text(), row.result()])
        if row.seconds_limit is not None:
            cells.append([row.mode, row.corpus, f"{row.comparison.label}: epk seconds",
                          format_seconds(row.epk_seconds), row.seconds_limit_text(), row.result()])
    return align(cells, 3)


def memory_lines(memory: list[MemoryCheck]) -> list[str]:
    cells = [["mode", "corpus", "command", "peak MiB", "limit", ""]]
    for check in memory:
        cells.append([check.mode, check.corpus, check.command, format_mib(check.highest_peak_mib),
                      f"<= {check.limit_mib:.0f}", check.result()])
    return align(cells, 3)


def format_report(header: list[tuple[str, str]], blocks: dict[tuple[str, str], list[RowResult]],
                  memory: list[MemoryCheck], corpus_titles: dict[str, str], warning: str | None = None,
                  notes: list[str] | None = None) -> str:
    """Header, one block per mode and corpus, the goals."""
    width = max(len(name) for name, _ in header)
    lines = ["Tarvex benchmark", ""]
    if warning:
        lines += [f"*** {warning} ***", ""]
    for name, value in header:
        wrapped = textwrap.wrap(value, 120 - width) or [""]
        lines.append(f"{name.ljust(width)}  {wrapped[0]}")
        lines += [" " * (width + 2) + more for more in wrapped[1:]]
    lines += ["", "Times are medians of the counted runs in seconds, memory the median peak resident set in MiB;",
              "ratios are epk / peer, the median of the pairs' ratios with the lowest and highest in brackets",
              "(below 1: epk is faster or leaner). The time goal holds for the median pair ratio; the memory goal",
              "for the highest peak of any run of the epk command."]
    mode = None
    for (block_mode, corpus), rows in blocks.items():
        if block_mode != mode:
            mode = block_mode
            lines += ["", f"== Mode {mode}: {MODE_TITLES[mode]}"]
        lines += [""] + textwrap.wrap(f"Corpus {corpus}: {corpus_titles[corpus]}", WIDTH, subsequent_indent="  ")
        lines += block_lines(rows)
    lines += ["", "Goals"] + goal_lines([r for rows in blocks.values() for r in rows])
    if notes:
        lines += ["", "Room on a file system that shares blocks"] + notes
    lines += ["", "Memory goals (highest peak of every run of each epk command)"] + memory_lines(memory)
    return "\n".join(lines) + "\n"


CSV_FIELDS = ["mode", "corpus", "kind", "comparison", "pair", "first", "epk_command", "peer_command", "epk_seconds",
              "peer_seconds", "time_ratio", "time_ratio_min", "time_ratio_max", "epk_peak_mib", "peer_peak_mib",
              "peak_ratio", "peak_ratio_min", "peak_ratio_max", "epk_bytes", "peer_bytes", "size_ratio", "goal",
              "result", "memory_limit_mib", "memory_result", "problem"]


def csv_number(value: float | int | None, digits: int = 4) -> str:
    if value is None:
        return ""
    return str(value) if isinstance(value, int) else f"{value:.{digits}f}"


def spread_fields(prefix: str, spread: Spread | None) -> dict[str, str]:
    if spread is None:
        return {}
    return {prefix: csv_number(spread.median), f"{prefix}_min": csv_number(spread.low),
            f"{prefix}_max": csv_number(spread.high)}


def csv_rows(row: RowResult) -> list[dict[str, str]]:
    """The row itself, then each of its pairs with the raw numbers."""
    common = {"mode": row.mode, "corpus": row.corpus, "comparison": row.comparison.label,
              "epk_command": row.epk_command, "peer_command": row.peer_command}
    whole = {**common, "kind": "row", "epk_seconds": csv_number(row.epk_seconds),
             "peer_seconds": csv_number(row.peer_seconds), **spread_fields("time_ratio", row.time_ratio),
             "epk_peak_mib": csv_number(row.epk_peak_mib, 1), "peer_peak_mib": csv_number(row.peer_peak_mib, 1),
             **spread_fields("peak_ratio", row.peak_ratio), "epk_bytes": csv_number(row.epk_bytes),
             "peer_bytes": csv_number(row.peer_bytes), "size_ratio": csv_number(row.size_ratio),
             "goal": row.limit_text(), "result": row.result(), "problem": row.problem or ""}
    if row.memory:
        whole.update(memory_limit_mib=csv_number(row.memory.limit_mib, 1), memory_result=row.memory.result())
    lines = [whole]
    for pair in row.pairs:
        lines.append({**common, "kind": "pair", "pair": str(pair.number + 1),
                      "first": "epk" if pair.epk_first else "peer", "epk_seconds": csv_number(pair.epk.seconds),
                      "peer_seconds": csv_number(pair.peer.seconds), "time_ratio": csv_number(pair.time_ratio),
                      "epk_peak_mib": csv_number(pair.epk.peak_kib / 1024, 1),
                      "peer_peak_mib": csv_number(pair.peer.peak_kib / 1024, 1),
                      "peak_ratio": csv_number(pair.peak_ratio)})
    return lines


def write_csv(path: Path, rows: list[RowResult], memory: list[MemoryCheck]) -> None:
    with open(path, "w", newline="") as out:
        writer = csv.DictWriter(out, CSV_FIELDS)
        writer.writeheader()
        for row in rows:
            writer.writerows(csv_rows(row))
        for check in memory:
            writer.writerow({"mode": check.mode, "corpus": check.corpus, "kind": "memory", "comparison": "peak memory",
                             "epk_command": check.command, "epk_peak_mib": csv_number(check.highest_peak_mib, 1),
                             "memory_limit_mib": csv_number(check.limit_mib, 1), "memory_result": check.result()})
