"""A racing host's road in Python terms, on top of the checked exports: a
whole race downloaded as rows in one call.

    rows = sk.download_race(handle, race_index, progress=lambda done, total: ...)
    for row in rows:
        print(row.index, row.ring, row.arrival, row.verified)
"""
from __future__ import annotations

from datetime import datetime
from typing import Callable, List, NamedTuple, Optional

from ._runtime import CLOCKLINK, SkylarkError

Progress = Callable[[int, int], None]
"""Called with (records done, records in all) after each record."""


class Arrival(NamedTuple):
    """One arrival of a downloaded race. lead, body and arrival are None when
    the download was refused (verified False)."""
    index: int
    """position of the arrival in the race, from 0"""
    lead: Optional[str]
    """lead field, 8 hex digits (our clocks: the clock's serial number)"""
    body: Optional[str]
    """record body, 32 hex digits; its first 12 are the ring number"""
    arrival: Optional[datetime]
    """the arrival time as the clock stamped it"""
    verified: bool
    """the clock proved the record for this very request"""

    @property
    def ring(self) -> Optional[str]:
        return self.body[:12] if self.body else None


def _rows(fetch, total: int, progress: Optional[Progress], retries: int) -> List[Arrival]:
    rows = []
    for i in range(total):
        row = None
        for _ in range(retries + 1):
            try:
                row = fetch(i)
                break
            except SkylarkError as refused:
                if refused.refused_by == CLOCKLINK:
                    raise  # the channel or the clock failed: not a question of one record
        rows.append(row or Arrival(i, None, None, None, False))
        if progress is not None:
            progress(i + 1, total)
    return rows


def download_race(sk, handle: int, race_index: int = 0, progress: Optional[Progress] = None,
                  retries: int = 0, count: Optional[int] = None) -> List[Arrival]:
    """Every arrival of the M clock's race at race_index, in order, each proven
    by the clock (SKM_GetRaceRecord). How many: count, else SKM_GetRaceInfo's
    race figure, which our virtual clocks give as the number of arrivals. A
    record whose reply the library refuses (it does not verify, or its length
    is wrong) is asked again up to `retries` times, each with a fresh
    challenge, then given as a row with verified False; a ClockLink failure
    raises SkylarkError."""
    total = count if count is not None else sk.skm_get_race_info(handle, race_index).race_figure

    def fetch(i):
        r = sk.skm_get_race_record(handle, race_index, i)
        return Arrival(i, r.lead_text, r.record_text, r.arrival_time, True)

    return _rows(fetch, total, progress, retries)


def download_single_race(sk, handle: int, progress: Optional[Progress] = None,
                         retries: int = 0, count: Optional[int] = None) -> List[Arrival]:
    """Every arrival of an S or H clock's race (SKS_GetRaceRecord; their download
    has no lead field), as download_race. How many: count, else SKS_QueryState's
    first counter, which our virtual clocks give as the number of arrivals."""
    total = count if count is not None else sk.sks_query_state(handle).first_count

    def fetch(i):
        r = sk.sks_get_race_record(handle, i)
        return Arrival(i, None, r.record_text, r.arrival_time, True)

    return _rows(fetch, total, progress, retries)
