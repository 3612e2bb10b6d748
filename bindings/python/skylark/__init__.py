"""Python binding of the Skylark library (race clocks and ring tags).

    import skylark
    sk = skylark.Skylark()                 # libskylark.so / Skylark.dll
    sk.sk_connect(handle)                  # raises skylark.SkylarkError on failure
    print(sk.sk_get_time(handle))          # datetime

Every export is a method named after it in snake case (SK_GetTime ->
sk_get_time); identifiers go in as bytes or hex text and come out as hex
text, dates as datetime, output buffers are sized from the export list. A
result of 0 raises SkylarkError with the export's name and ClockLink's error
code; pass-through exports return ClockLink's status. ``Skylark().raw`` holds
the plain ctypes functions.
"""
from ._api import RULES, SIGNATURES, Api as Skylark
from ._runtime import SkylarkError, default_paths, platform_key

__all__ = ["Skylark", "SkylarkError", "RULES", "SIGNATURES", "default_paths", "platform_key"]
