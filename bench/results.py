"""What a comparison measured: its pairs, the spread of their ratios, and
whether the goals hold."""

from __future__ import annotations

import statistics
from dataclasses import dataclass, field

from measure import Measurement
from plan import Comparison

MIB = 1024 * 1024
MEMORY_BASE_MIB = 64


def ratio(a: float | None, b: float | None) -> float | None:
    return a / b if a is not None and b not in (None, 0) else None


@dataclass(frozen=True)
class Spread:
    median: float
    low: float
    high: float

    @staticmethod
    def of(values: list[float | None]) -> "Spread | None":
        """None unless every value is there: a ratio that could not be taken
        makes the spread unknown, not smaller."""
        if not values or any(v is None for v in values):
            return None
        return Spread(statistics.median(values), min(values), max(values))


@dataclass(frozen=True)
class Pair:
    """One epk run and one peer run, back to back."""

    number: int  # from 0
    epk_first: bool
    epk: Measurement
    peer: Measurement

    @property
    def time_ratio(self) -> float | None:
        return ratio(self.epk.seconds, self.peer.seconds)

    @property
    def peak_ratio(self) -> float | None:
        return ratio(self.epk.peak_kib, self.peer.peak_kib)


def memory_limit_mib(coded_bytes: int | None, workers: int) -> float:
    """A command that codes no file stays within the base; one that does
    may also hold two copies of its largest coded file per worker."""
    if coded_bytes is None:
        return MEMORY_BASE_MIB
    return MEMORY_BASE_MIB + 2 * coded_bytes / MIB * workers


@dataclass
class MemoryCheck:
    """The highest peak of every run of one epk command against its limit."""

    mode: str
    corpus: str
    command: str  # as the table shows it
    highest_peak_kib: int | None
    limit_mib: float

    @property
    def highest_peak_mib(self) -> float | None:
        return None if self.highest_peak_kib is None else self.highest_peak_kib / 1024

    def result(self) -> str:
        peak = self.highest_peak_mib
        return "PASS" if peak is not None and peak <= self.limit_mib else "FAIL"


@dataclass
class RowResult:
    mode: str
    corpus: str
    comparison: Comparison
    epk_command: str
    peer_command: str
    limit: float | None
    seconds_limit: float | None = None  # epk's median seconds must stay below it
    pairs: list[Pair] = field(default_factory=list)
    epk_bytes: int | None = None
    peer_bytes: int | None = None
    problem: str | None = None  # a run failed or gave wrong output
    memory: MemoryCheck | None = None  # of the epk side

    def _median(self, values) -> float | None:
        values = list(values)
        return statistics.median(values) if values else None

    @property
    def epk_seconds(self) -> float | None:
        return self._median(p.epk.seconds for p in self.pairs)

    @property
    def peer_seconds(self) -> float | None:
        return self._median(p.peer.seconds for p in self.pairs)

    @property
    def epk_peak_mib(self) -> float | None:
        median = self._median(p.epk.peak_kib for p in self.pairs)
        return None if median is None else median / 1024

    @property
    def peer_peak_mib(self) -> float | None:
        median = self._median(p.peer.peak_kib for p in self.pairs)
        return None if median is None else median / 1024

    @property
    def time_ratio(self) -> Spread | None:
        return Spread.of([p.time_ratio for p in self.pairs])

    @property
    def peak_ratio(self) -> Spread | None:
        return Spread.of([p.peak_ratio for p in self.pairs])

    @property
    def size_ratio(self) -> float | None:
        return ratio(self.epk_bytes, self.peer_bytes)

    def measured(self) -> float | None:
        """What the goal is judged on: the median pair ratio of time, or the
        ratio of sizes."""
        if self.comparison.metric == "size":
            return self.size_ratio
        spread = self.time_ratio
        return spread.median if spread else None

    def ratio_limit_text(self) -> str:
        if self.limit is None:
            return ""
        return f"{'<=' if self.comparison.metric == 'time' else '<'} {self.limit:.2f}"

    def seconds_limit_text(self) -> str:
        return "" if self.seconds_limit is None else f"< {self.seconds_limit:.2f} s"

    def limit_text(self) -> str:
        return ", ".join(text for text in (self.ratio_limit_text(), self.seconds_limit_text()) if text)

    def result(self) -> str:
        """PASS or FAIL against the goals; empty without a goal."""
        if self.limit is None and self.seconds_limit is None:
            return ""
        if self.problem:
            return "FAIL"
        if self.limit is not None:
            measured = self.measured()
            if measured is None:
                return "FAIL"
            passed = measured <= self.limit if self.comparison.metric == "time" else measured < self.limit
            if not passed:
                return "FAIL"
        if self.seconds_limit is not None:
            seconds = self.epk_seconds
            if seconds is None or seconds >= self.seconds_limit:
                return "FAIL"
        return "PASS"
