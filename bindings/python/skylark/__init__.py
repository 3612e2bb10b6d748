"""Python binding of the Skylark library (race clocks and ring tags).

    import skylark
    sk = skylark.Skylark()                 # libskylark.so / Skylark.dll
    sk.sk_connect(handle)                  # raises skylark.SkylarkError on failure
    print(sk.sk_get_time(handle))          # datetime
    rows = sk.download_race(handle, 0)     # a whole race as rows

Every export is a method named after it in snake case (SK_GetTime ->
sk_get_time). Arguments are checked before the call: identifiers as bytes of
their exact length or hex text of exactly their digits, numbers that fit
their field, passwords of at most 8 characters, naive datetimes a clock can
hold; a mistake raises ArgumentError naming the export and the argument.
Identifiers come out as hex text, dates as datetime, output buffers are sized
from the export list. A result of 0 raises SkylarkError saying who refused
(ClockLink, with its code and words, or the library, when the reply did not
pass its checks); pass-through exports return ClockLink's status.
``Skylark().raw`` holds the plain ctypes functions, exactly the C interface.
"""
from typing import List, Optional

from ._api import RULES, SIGNATURES, Api
from ._runtime import (CLOCKLINK, LIBRARY, READER, UNDECIDED, ArgumentError, SkylarkError, default_paths,
                       error_name, platform_key)
from ._tables import ERRORS
from .road import Arrival, Progress, download_race, download_single_race


class Skylark(Api):
    """The library: every export as a checked method, and the road's helpers."""

    def download_race(self, handle: int, race_index: int = 0, progress: Optional[Progress] = None,
                      retries: int = 0, count: Optional[int] = None) -> List[Arrival]:
        """Every arrival of an M clock's race as rows; see skylark.road.download_race."""
        return download_race(self, handle, race_index, progress, retries, count)

    def download_single_race(self, handle: int, progress: Optional[Progress] = None,
                             retries: int = 0, count: Optional[int] = None) -> List[Arrival]:
        """Every arrival of an S or H clock's race as rows; see skylark.road.download_single_race."""
        return download_single_race(self, handle, progress, retries, count)


__all__ = ["Skylark", "SkylarkError", "ArgumentError", "Arrival", "ERRORS", "RULES", "SIGNATURES",
           "CLOCKLINK", "LIBRARY", "READER", "UNDECIDED", "default_paths", "error_name", "platform_key"]
