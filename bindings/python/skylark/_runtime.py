"""Loading the libraries, the checked conversions at the edges, and the errors."""
from __future__ import annotations

import ctypes
import math
import operator
import os
import re
import struct
import sys
from datetime import datetime, timedelta
from typing import Optional, Union

from . import _tables

_U32 = ctypes.c_uint32

Hex = Union[str, bytes, bytearray]
"""Identifiers: bytes (sent as hex text) or hex text as a str."""
Text = Union[str, bytes]
PathLike = Union[str, "os.PathLike[str]"]
Date = Union[datetime, float]
"""A naive local date-time, or an OLE Automation date as a float."""

_OLE_EPOCH = datetime(1899, 12, 30)
_WINDOWS = sys.platform == "win32"


class ArgumentError(ValueError, TypeError):
    """An argument the checked layer refuses before anything is called.

    export: the export or stand-in function; argument: the argument's name
    as the C interface spells it. The message says what was wrong.
    """

    def __init__(self, export: str, argument: str, problem: str):
        self.export, self.argument = export, argument
        super().__init__(f"{export}: {argument} {problem}")


# Who refused a call (SkylarkError.refused_by).
CLOCKLINK = "ClockLink"
LIBRARY = "library"
READER = "RingReader"
UNDECIDED = "ClockLink or library"

# What the library checks in a reply, by result rule: the reason it gives
# when it refuses a reply that ClockLink delivered.
_REPLY_CHECKS = {
    "exact-length": "the clock's reply did not have the expected length",
    "minimum-length": "the clock's reply was shorter than the minimum",
    "verified": ("the clock's reply had the wrong length or its verification code does not answer "
                 "this call's challenge"),
    "device-state": "the clock's reply was not the one state byte",
}


def error_name(code: Optional[int]) -> Optional[str]:
    """The stand-ins' name of a ClockLink error code (CLV_ERR_...), None if it has none."""
    entry = _tables.ERRORS.get(code)
    return entry[0] if entry else None


class SkylarkError(Exception):
    """An export (or a stand-in function) reported failure.

    export: the export's name; status: the raw result.
    refused_by: who refused -- CLOCKLINK (the channel library or the clock
    behind it failed the command; error_code and error_text say why),
    LIBRARY (ClockLink delivered a reply but it did not pass the library's
    checks, or a stored record did not prove), READER (RingReader failed),
    or UNDECIDED (see below).
    error_code: ClockLink's IFD_GetErrCode for the channel after the call
    (None for exports on no clock); error_name: its CLV_ERR_ name with our
    stand-ins; error_text: the stand-in's CLV_ErrorText for it, else the
    code table's meaning, else None. reason: one line in words.

    How the side is told: an export whose result rule judges the reply
    (exact-length, minimum-length, verified, device-state) can fail with
    ClockLink succeeding. The binding reads IFD_GetErrCode just before and
    just after the call: a code that changed means ClockLink failed during
    the call; a code still 0 means no failure was ever recorded on the
    channel, so the library refused the reply. A code that was non-zero
    before and is the same after cannot tell a repeated ClockLink failure
    from a refused reply: refused_by is then UNDECIDED. Exports whose rule
    checks no reply (normalised, pass-through) fail only when ClockLink
    does. Other threads failing commands on the same handle between the two
    reads can mislead the comparison when ClockLink keeps one code per
    channel.
    """

    def __init__(self, export: str, status: int = 0, refused_by: str = CLOCKLINK,
                 error_code: Optional[int] = None, error_text: Optional[str] = None,
                 reason: Optional[str] = None):
        self.export, self.status, self.refused_by = export, status, refused_by
        self.error_code, self.error_text = error_code, error_text
        self.error_name = error_name(error_code) if error_code else None
        if reason is None:
            if refused_by == CLOCKLINK and error_code is not None:
                reason = f"ClockLink refused: error {error_code}"
                if self.error_name:
                    reason += f" {self.error_name}"
                if error_text:
                    reason += f" ({error_text})"
            else:
                reason = f"{refused_by} refused"
        self.reason = reason
        super().__init__(f"{export} failed (result {status}): {reason}")


def platform_key() -> str:
    """'linux', 'win64' or 'win32': which decorated symbol a platform uses."""
    if not _WINDOWS:
        return "linux"
    return "win64" if struct.calcsize("P") == 8 else "win32"


def _load(path: str) -> ctypes.CDLL:
    if _WINDOWS:
        return ctypes.WinDLL(path)  # __stdcall on i686
    return ctypes.CDLL(path)


# Where a wheel bundles the library and the stand-ins (skylark/_native/).
_BUNDLED = os.path.join(os.path.dirname(os.path.abspath(__file__)), "_native")
# (Skylark, ClockLink, RingReader): in a wheel, and on the loader's search path.
_BUNDLED_NAMES = (("Skylark.dll", "ClockLink.dll", "RingReader.dll") if _WINDOWS
                  else ("libskylark.so.0", "libclocklink.so", "libringreader.so"))
_SEARCH_NAMES = (("Skylark.dll", "ClockLink.dll", "RingReader.dll") if _WINDOWS
                 else ("libskylark.so", "libclocklink.so", "libringreader.so"))


def bundled_folder() -> Optional[str]:
    """The folder of the libraries a wheel bundles, None for a package without them."""
    return _BUNDLED if os.path.exists(os.path.join(_BUNDLED, _BUNDLED_NAMES[0])) else None


def default_paths(library: Optional[str] = None, clocklink: Optional[str] = None,
                  ringreader: Optional[str] = None) -> tuple[str, str, str]:
    """Where Skylark, ClockLink and RingReader are loaded from, each: the
    argument, else SKYLARK_LIBRARY, SKYLARK_CLOCKLINK, SKYLARK_RINGREADER,
    else the copy the wheel bundles (the library and the stand-ins, in the
    package's _native folder), else the one beside the library, else the
    platform's name through the loader's search path. SKYLARK_CLOCKLINK and
    SKYLARK_RINGREADER put the real libraries under a bundled Skylark."""
    bundle = bundled_folder()
    chosen = [library or os.environ.get("SKYLARK_LIBRARY"),
              clocklink or os.environ.get("SKYLARK_CLOCKLINK"),
              ringreader or os.environ.get("SKYLARK_RINGREADER")]
    if chosen[0] is None:
        chosen[0] = os.path.join(bundle, _BUNDLED_NAMES[0]) if bundle else _SEARCH_NAMES[0]
    folder = os.path.dirname(chosen[0])
    for i in (1, 2):
        if chosen[i] is None:
            beside = os.path.join(folder, _BUNDLED_NAMES[i]) if folder else ""
            chosen[i] = beside if beside and os.path.exists(beside) else _SEARCH_NAMES[i]
    return chosen[0], chosen[1], chosen[2]


def _describe(value) -> str:
    text = repr(value)
    return text if len(text) <= 60 else text[:57] + "..."


def _hex_in(export: str, name: str, value: Hex, digits: Optional[int] = None) -> bytes:
    """Hex text for the C interface: bytes of exactly digits/2 bytes, or a str of
    exactly `digits` hex digits (nothing else). digits None: any text (codecs)."""
    if isinstance(value, (bytes, bytearray)):
        if digits is not None and len(value) * 2 != digits:
            raise ArgumentError(export, name, f"must be {digits // 2} bytes ({digits} hex digits), "
                                f"got {len(value)} bytes")
        return bytes(value).hex().upper().encode("ascii")
    if not isinstance(value, str):
        raise ArgumentError(export, name, f"must be bytes or hex text, got {type(value).__name__}")
    if digits is None:
        try:
            return value.encode("ascii")
        except UnicodeEncodeError:
            raise ArgumentError(export, name, f"must be ASCII hex text, got {_describe(value)}") from None
    bad = re.search(r"[^0-9A-Fa-f]", value)
    if bad:
        raise ArgumentError(export, name, f"must be exactly {digits} hex digits, got {_describe(value)} "
                            f"(character {bad.group(0)!r} at position {bad.start()} is not a hex digit)")
    if len(value) != digits:
        raise ArgumentError(export, name, f"must be exactly {digits} hex digits, got {_describe(value)} "
                            f"({len(value)} digits)")
    return value.upper().encode("ascii")


def _number_in(export: str, name: str, value: int, bits: Optional[int]) -> int:
    """An integer that fits the field it fills: 0 to 2**bits - 1."""
    if isinstance(value, bool) or isinstance(value, float):
        raise ArgumentError(export, name, f"must be an integer, got {_describe(value)}")
    try:
        value = operator.index(value)
    except TypeError:
        raise ArgumentError(export, name, f"must be an integer, got {type(value).__name__}") from None
    limit = (1 << (bits or 32)) - 1
    if not 0 <= value <= limit:
        article = "an" if bits == 8 else "a"
        raise ArgumentError(export, name, f"must be 0 to {limit} ({article} {bits or 32}-bit field), got {value}")
    return value


def _text_in(export: str, name: str, value: Optional[Text], max_chars: Optional[int] = None,
             chars: Optional[str] = None, form: Optional[str] = None,
             optional: bool = False) -> Optional[bytes]:
    """Single-byte text: no NUL, at most max_chars, only `chars`, of the form
    DDD.FFFFFFFF where `form` says so. None only where the export takes null."""
    if value is None:
        if optional:
            return None
        raise ArgumentError(export, name, "is required (got None)")
    if isinstance(value, str):
        try:
            raw = value.encode("latin-1")
        except UnicodeEncodeError:
            raise ArgumentError(export, name, f"must be single-byte (Latin-1) text, got {_describe(value)}") \
                from None
    elif isinstance(value, (bytes, bytearray)):
        raw = bytes(value)
    else:
        raise ArgumentError(export, name, f"must be text, got {type(value).__name__}")
    if b"\0" in raw:
        raise ArgumentError(export, name, "must not contain a NUL character")
    if max_chars is not None and len(raw) > max_chars:
        raise ArgumentError(export, name, f"must be at most {max_chars} characters (the clock uses "
                            f"{max_chars}), got {len(raw)}")
    if chars is not None:
        bad = [chr(c) for c in raw if chr(c) not in chars]
        if bad:
            raise ArgumentError(export, name, f"may hold only {' '.join(chars)}, got {bad[0]!r}")
    if form is not None:
        pattern = re.escape(form).replace("D", "[0-9]").replace("F", "[0-9]")
        if not re.fullmatch(pattern.encode(), raw):
            raise ArgumentError(export, name, f"must have the form {form} (digits), got {_describe(value)}")
    return raw


def _bytes_in(export: str, name: str, value: bytes, size: Optional[int]) -> bytes:
    """Raw bytes of exactly `size` bytes (any length when size is None)."""
    if not isinstance(value, (bytes, bytearray, memoryview)):
        raise ArgumentError(export, name, f"must be bytes, got {type(value).__name__}")
    value = bytes(value)
    if size is not None and len(value) != size:
        raise ArgumentError(export, name, f"must be exactly {size} bytes, got {len(value)}")
    return value


def _path_in(function: str, path: PathLike) -> bytes:
    try:
        raw = os.fsencode(path)
    except TypeError:
        raise ArgumentError(function, "path", f"must be a path, got {type(path).__name__}") from None
    if b"\0" in raw or not raw:
        raise ArgumentError(function, "path", "must be a non-empty path without NUL characters")
    return raw


def _real_in(export: str, name: str, value: float) -> float:
    """A finite number (coordinates, velocities, shares)."""
    if isinstance(value, bool) or not isinstance(value, (int, float)):
        raise ArgumentError(export, name, f"must be a number, got {type(value).__name__}")
    if not math.isfinite(value):
        raise ArgumentError(export, name, f"must be a finite number, got {value}")
    return float(value)


# The dates a clock can hold: its BCD fields give the years 2000 to 2099.
_FIRST_DATE = datetime(2000, 1, 1)
_LAST_DATE = datetime(2099, 12, 31, 23, 59, 59)


def _ole_in(export: str, name: str, value: Date) -> float:
    """A naive local date-time (or an OLE date) a clock can hold. A datetime
    with a time zone is refused: convert it explicitly, for example
    value.astimezone().replace(tzinfo=None) for the host's local time."""
    if isinstance(value, datetime):
        if value.tzinfo is not None and value.utcoffset() is not None:
            raise ArgumentError(export, name, f"has a time zone ({value.tzinfo}); clocks keep local "
                                "wall-clock time without a zone: convert it explicitly, e.g. "
                                "value.astimezone().replace(tzinfo=None)")
        when = value.replace(tzinfo=None)
    elif isinstance(value, (int, float)) and not isinstance(value, bool):
        if not math.isfinite(value):
            raise ArgumentError(export, name, f"must be a finite OLE date, got {value}")
        try:
            when = _OLE_EPOCH + timedelta(days=float(value))
        except OverflowError:
            raise ArgumentError(export, name, f"is not a date a clock can hold: {value}") from None
    else:
        raise ArgumentError(export, name, f"must be a datetime (or an OLE date), got {type(value).__name__}")
    if not _FIRST_DATE <= when <= _LAST_DATE:
        raise ArgumentError(export, name, f"must lie in 2000 to 2099 (a clock's dates), got {when}")
    return (when - _OLE_EPOCH) / timedelta(days=1)


def _ole_out(value: float) -> Optional[datetime]:
    """None for 0.0, the library's 'not a real date-time'; to the millisecond."""
    if value == 0.0:
        return None
    return _OLE_EPOCH + timedelta(milliseconds=round(value * 86400000))


def _str_out(buffer: ctypes.Array) -> str:
    return buffer.value.decode("latin-1")


class Binding:
    """The loaded library and ClockLink beside it, with every export's
    signature set from the export list."""

    SIGNATURES: dict = {}
    SYMBOLS: dict = {}

    def __init__(self, library: Optional[str] = None, clocklink: Optional[str] = None):
        from ._tables import SIGNATURES, SYMBOLS

        library, clocklink, ringreader = default_paths(library, clocklink)
        bundle = bundled_folder()
        if _WINDOWS and bundle and hasattr(os, "add_dll_directory"):
            self._dll_directory = os.add_dll_directory(bundle)
        # ClockLink and RingReader first, so that Skylark's dependencies
        # resolve to these (the loader matches them by name) and not to
        # whatever the search path holds.
        self.clocklink = _load(clocklink)
        self._ringreader_preloaded = _load(ringreader)
        self.library = _load(library)
        self.library_path = library
        self.clocklink_path = clocklink
        self.ringreader_path = ringreader
        self.clocklink.IFD_GetErrCode.restype = _U32
        self.clocklink.IFD_GetErrCode.argtypes = (_U32,)
        platform = platform_key()

        class Functions:
            pass

        self._lib = Functions()
        for name, (restype, argtypes) in SIGNATURES.items():
            symbol = SYMBOLS.get(name, {}).get(platform, name)
            fn = getattr(self.library, symbol)
            fn.restype = restype
            fn.argtypes = argtypes
            setattr(self._lib, name, fn)

    @property
    def raw(self):
        """The exports themselves as ctypes functions, by their plain names
        (results as the library returns them, no exceptions)."""
        return self._lib

    def error_code(self, handle: int) -> int:
        """ClockLink's error code for the channel (IFD_GetErrCode)."""
        return self.clocklink.IFD_GetErrCode(handle)

    def error_text(self, code: int) -> Optional[str]:
        """Our stand-in's CLV_ErrorText for a ClockLink error code; with another
        ClockLink, the stand-ins' code table's meaning, or None."""
        fn = getattr(self.clocklink, "CLV_ErrorText", None) if code in _tables.ERRORS else None
        if fn is not None:
            fn.restype, fn.argtypes = ctypes.c_char_p, (ctypes.c_int,)
            return fn(code).decode("latin-1")
        entry = _tables.ERRORS.get(code)
        return entry[1] if entry else None

    def _call(self, export: str, handle: Optional[int], *args) -> int:
        """Calls an export; raises SkylarkError, saying who refused, on a 0 result."""
        family, rule = _tables.EXPORTS[export]
        on_clock = handle is not None and family not in ("codec", "record", "ring")
        before = self.error_code(handle) if on_clock else None
        status = getattr(self._lib, export)(*args)
        if status != 0:
            return status
        if family == "ring":
            raise SkylarkError(export, status, READER, reason="RingReader failed (no tag in the field, "
                               "or a tag operation failed)")
        if not on_clock:
            raise SkylarkError(export, status, LIBRARY,
                               reason="the library refused: the record did not pass its checks")
        after = self.error_code(handle)
        text = self.error_text(after) if after else None
        if rule in _REPLY_CHECKS and after == before:
            if after == 0:
                raise SkylarkError(export, status, LIBRARY, after,
                                   reason=f"the library refused the reply: {_REPLY_CHECKS[rule]}")
            name = error_name(after)
            raise SkylarkError(export, status, UNDECIDED, after, text,
                               reason=f"ClockLink's code is still {after}{' ' + name if name else ''} from an "
                               f"earlier failure: either ClockLink failed again the same way, or the library "
                               f"refused the reply ({_REPLY_CHECKS[rule]})")
        raise SkylarkError(export, status, CLOCKLINK, after, text)
