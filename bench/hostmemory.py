"""Pauses the hand-back of freed memory to the host while the benchmark runs.

A virtual machine whose balloon device takes free page reports gives freed
memory back to its host a moment after it is freed, and the next touch of
such a page costs a fault on the host. Which of two commands that each write
hundreds of megabytes meets those faults then depends on when the report ran,
not on the command: the pairs of a comparison split into a fast and a slow
kind, on either side. Reporting only blocks of an order the page allocator
never makes turns the reports off; the old order is put back at the end."""

from __future__ import annotations

from collections.abc import Iterator
from contextlib import contextmanager
from pathlib import Path

REPORTING_ORDER = Path("/sys/module/page_reporting/parameters/page_reporting_order")
# The buddy allocator's largest blocks are of order 10.
NO_SUCH_ORDER = "11"


@contextmanager
def host_reporting_paused(knob: Path = REPORTING_ORDER) -> Iterator[str]:
    """Yields the line the report's header shows about it."""
    try:
        old = knob.read_text().strip()
        knob.write_text(NO_SUCH_ORDER)
    except OSError:
        yield "not reported to a host, or not ours to change: left as it is"
        return
    try:
        yield (f"free page reports to the host paused during the run (page_reporting_order {old} -> "
               f"{NO_SUCH_ORDER}, put back after), so that no run meets host faults the other did not")
    finally:
        knob.write_text(old)
